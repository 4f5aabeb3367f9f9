#pragma once

#include <string_view>

// A date-time number: days since 30 December 1899 (day 0), the time of day as the fraction.
// 0 also stands for "no date".
using TDateTime = double;

// Calendar date in the proleptic Gregorian calendar, years 1 to 9999.
bool IsValidDate(int year, int month, int day);
// The number of days of a month (1 to 12) in the proleptic Gregorian calendar.
int DaysInMonth(int year, int month);
// Returns false (and leaves result alone) for an impossible date.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
// 0 for an impossible date.
TDateTime EncodeDate(int year, int month, int day);
void DecodeDate(TDateTime date, int& year, int& month, int& day);

// Time of day as a fraction of a day; hours 0-23, minutes and seconds 0-59, ms 0-999.
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);
// Time of day of a date-time number, rounded to the nearest millisecond.
void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec);

// 1 = Sunday ... 7 = Saturday, as the platform counts.
int DayOfWeek(TDateTime date);

// Reads a date the user typed: three runs of digits read as day, month and year, separated by
// any non-digits; a year below 50 is 20xx, 50-99 is 19xx. Returns 0 when the text is not a
// possible date.
TDateTime TextToDate(std::string_view text);

// The current local date and time.
TDateTime Now();
