#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/DateTime.h"
#include "core/Locale.h"

struct TAppSettings;
class TOrder;

// The supplier's rules for the delivery date and the logic of the dialogs and fields that
// edit it. Dates are whole day numbers; "today" is always passed in (the current date without
// its time in the program), so every rule can be run for any day.

// "MinDeliveryDays", "MaxDeliveryDays" and "EnabledDaysOfWeek" (normalised).
struct TDeliveryRules {
  int MinDeliveryDays = 0;
  int MaxDeliveryDays = 90;
  std::string EnabledDaysOfWeek = "12345"; // digits 1 = Monday .. 7 = Sunday

  static TDeliveryRules FromSettings(const TAppSettings& settings);
};

// A text without any of the digits 1 to 7 becomes "12345"; any other stays as it is.
std::string NormalizeDaysOfWeek(std::string_view days);

// Today as a whole day number (the current local date).
TDateTime Today();

// 1 = Monday .. 7 = Sunday.
int DeliveryWeekday(TDateTime date);
// The weekday of date (as a digit) occurs in EnabledDaysOfWeek.
bool IsDeliveryDay(TDateTime date, const TDeliveryRules& rules);
// The first of x, x + 1, ..., x + 6 that is a delivery day; x itself when none is.
TDateTime NextDeliveryDay(TDateTime x, const TDeliveryRules& rules);

// The quick test before saving or sending: today + Min <= d <= today + Max and d a delivery
// day. An order without a delivery date (0) never passes.
bool QuickDeliveryCheck(TDateTime deliveryDate, TDateTime today, const TDeliveryRules& rules);

// The rules of the check dialog's OK for a typed delivery date d, in this order (empty when
// d passes):
//   d < today + Min                         "Minimální datum dodání je dd.mm.yyyy"
//   d > NextDeliveryDay(today + Max)        "Maximální datum dodání je dd.mm.yyyy"
//   d not a delivery day                    "Nepovolený den dodání (dddd d.m.yyyy)"
// Texts are code page 1250 with the locale's day names and date separator.
std::string DeliveryDateError(TDateTime d, TDateTime today, const TDeliveryRules& rules,
                              const Locale& locale = CurrentLocale());

// The long day name shown beside a date field: empty for a date not later than 1.1.1990.
std::string DeliveryDayName(TDateTime date, const Locale& locale = CurrentLocale());

// What a date field holds: the empty mask (no digit or letter), a date, or a text that is
// not a date.
enum class TDateFieldState { Empty, Date, NotADate };
TDateFieldState ReadDateField(std::string_view text, TDateTime& date);
// A date as the fields write it: dd.mm.yyyy with the locale's date separator; empty for 0.
std::string DateFieldText(TDateTime date, const Locale& locale = CurrentLocale());

// The check dialog ("Datum dodání"), its fields as texts.
struct TDeliveryDialogState {
  std::string DeliveryText; // "D&atum dodání:"
  std::string LatestText;   // "Nejpozdější &možný termín dodání:"
  std::vector<std::string> Note;
};

// The logic of the check dialog for one "today"; the GUI's dialog asks it on every change.
class TDeliveryDialogLogic {
public:
  TDeliveryDialogLogic(TDeliveryRules rules, TDateTime today, const Locale& locale = CurrentLocale())
      : FRules(std::move(rules)), FToday(today), FLocale(locale) {}

  // The fields as the dialog opens for the order: a date later than 1.1.2000 is filled in,
  // otherwise the field is empty; the note is the order's.
  TDeliveryDialogState Initial(const TOrder& order) const;
  // OK is enabled while the delivery field holds a date later than 1.1.1990.
  bool OkEnabled(std::string_view deliveryText) const;
  // The day name beside a field (empty when the text is no date after 1.1.1990).
  std::string DayName(std::string_view text) const;
  // The date the calendar button of the delivery field opens on.
  TDateTime ProposeDelivery(std::string_view deliveryText) const;
  // The date the calendar button of the latest field opens on.
  TDateTime ProposeLatest(std::string_view latestText, std::string_view deliveryText) const;

  // Pressing OK: on success Error is empty and the dates are those to store (the latest date
  // raised to the delivery date when it is no date or lies before it); otherwise Error is the
  // message to show (captioned "Objednávky") and the dialog stays.
  struct TOkResult {
    std::string Error;
    TDateTime DeliveryDate = 0;
    TDateTime LatestDeliveryDate = 0;
  };
  TOkResult Ok(std::string_view deliveryText, std::string_view latestText) const;

  const TDeliveryRules& Rules() const { return FRules; }
  TDateTime TodayDate() const { return FToday; }

private:
  TDeliveryRules FRules;
  TDateTime FToday;
  Locale FLocale;
};

// The check dialog as the GUI shows it.
class IDeliveryDateDialog {
public:
  virtual ~IDeliveryDateDialog() = default;
  // Shows the dialog with state filled in and logic deciding OK, the day names and the
  // calendar proposals. Returns true after an OK that logic.Ok accepted, with state holding
  // the fields as they were then (note included); false for "Storno".
  virtual bool Execute(const TDeliveryDialogLogic& logic, TDeliveryDialogState& state) = 0;
};

// Before saving or sending: true when the order's dates pass the quick test, or the user
// corrected them in the dialog (the order then takes the dialog's dates and note - a changed
// note marks the order changed); false when the user cancelled (nothing changes).
bool CheckDeliveryDates(TOrder& order, const TDeliveryRules& rules, TDateTime today, IDeliveryDateDialog& dialog,
                        const Locale& locale = CurrentLocale());
// The same with the application context's settings (App()) and the current date: what Save,
// Save as and the send flow call.
bool CheckDeliveryDates(TOrder& order, IDeliveryDateDialog& dialog);

// The main window's date fields on the details tab.
namespace DeliveryDateField {

// While the user types: a text that reads as a date is stored at once (Store) with its day
// name; otherwise the day name is cleared and the order's date stays.
struct TTyping {
  bool Store = false;
  TDateTime Date = 0;
  std::string DayName;
};
TTyping Typing(std::string_view text, const Locale& locale = CurrentLocale());

// Leaving the field: the empty mask leaves the order's date alone; a date is stored and the
// field shows it as dd.mm.yyyy; any other text gives Message "Zadejte datum ve tvaru
// dd.mm.rrrr" (a plain message box) and the field gets the focus again.
struct TLeaving {
  enum TAction { Keep, Store, Invalid } Action = Keep;
  TDateTime Date = 0;
  std::string Text;    // the field's new text for Store
  std::string Message; // for Invalid
};
TLeaving Leaving(std::string_view text, const Locale& locale = CurrentLocale());

// The calendar buttons: the delivery date, or today when it lies before today; the latest
// date, or when it lies before today the delivery date, or today when that does too.
TDateTime CalendarDelivery(TDateTime deliveryDate, TDateTime today);
TDateTime CalendarLatest(TDateTime latestDate, TDateTime deliveryDate, TDateTime today);

} // namespace DeliveryDateField

// The date picker ("&Dnes", "&Zítra", "&OK"): OK and a double click accept only a date of
// today or later; another month keeps the day, cut to the month's last day.
namespace DatePicker {
bool Accepts(TDateTime date, TDateTime today);
TDateTime WithMonth(TDateTime date, int month);
TDateTime WithYear(TDateTime date, int year);
} // namespace DatePicker
