#include "orders/DeliveryDates.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

#include "core/AppContext.h"
#include "core/AppSettings.h"
#include "core/DateFormat.h"
#include "core/Format.h"
#include "formats/Cp1250Utf8.h"
#include "orders/Order.h"

namespace {

// Fields filled in when the dialog opens hold dates after this day; older ones are the empty
// dates of old files.
const TDateTime kDialogFillAfter = EncodeDate(2000, 1, 1);
// Dates up to this day have no day name and do not enable OK.
const TDateTime kDayNameAfter = EncodeDate(1990, 1, 1);

TDateTime WholeDay(TDateTime date) { return std::floor(date); }

bool IsDigitOrLetter(unsigned char c) { return (c >= '0' && c <= '9') || std::isalpha(c) || c >= 0x80; }

// The day in another month or year, moved back to the month's last day where it has fewer.
TDateTime ClampedDate(int year, int month, int day) {
  return EncodeDate(year, month, std::min(day, DaysInMonth(year, month)));
}

} // namespace

TDeliveryRules TDeliveryRules::FromSettings(const TAppSettings& settings) {
  TDeliveryRules rules;
  rules.MinDeliveryDays = settings.MinDeliveryDays;
  rules.MaxDeliveryDays = settings.MaxDeliveryDays;
  rules.EnabledDaysOfWeek = NormalizeDaysOfWeek(settings.EnabledDaysOfWeek);
  return rules;
}

std::string NormalizeDaysOfWeek(std::string_view days) {
  const bool any = std::any_of(days.begin(), days.end(), [](char c) { return c >= '1' && c <= '7'; });
  return any ? std::string(days) : std::string("12345");
}

TDateTime Today() { return WholeDay(Now()); }

int DeliveryWeekday(TDateTime date) { return (DayOfWeek(WholeDay(date)) + 5) % 7 + 1; }

bool IsDeliveryDay(TDateTime date, const TDeliveryRules& rules) {
  return rules.EnabledDaysOfWeek.find(char('0' + DeliveryWeekday(date))) != std::string::npos;
}

TDateTime NextDeliveryDay(TDateTime x, const TDeliveryRules& rules) {
  for (int k = 0; k < 7; ++k)
    if (IsDeliveryDay(x + k, rules))
      return x + k;
  return x;
}

bool QuickDeliveryCheck(TDateTime deliveryDate, TDateTime today, const TDeliveryRules& rules) {
  const TDateTime d = WholeDay(deliveryDate);
  if (d == 0)
    return false;
  return d >= today + rules.MinDeliveryDays && d <= today + rules.MaxDeliveryDays && IsDeliveryDay(d, rules);
}

std::string DeliveryDateError(TDateTime date, TDateTime today, const TDeliveryRules& rules, const Locale& locale) {
  const TDateTime d = WholeDay(date);
  const TDateTime minimum = today + rules.MinDeliveryDays;
  if (d < minimum)
    return Format(Cz("Minimální datum dodání je %s"), {FormatDateTime("dd.mm.yyyy", minimum, locale)});
  // The dialog lets the last allowed distance run on to the next delivery day, so a limit
  // that falls on a weekend still leaves a day to deliver on.
  const TDateTime maximum = NextDeliveryDay(today + rules.MaxDeliveryDays, rules);
  if (d > maximum)
    return Format(Cz("Maximální datum dodání je %s"), {FormatDateTime("dd.mm.yyyy", maximum, locale)});
  if (!IsDeliveryDay(d, rules))
    return Format(Cz("Nepovolený den dodání (%s)"), {FormatDateTime("dddd d.m.yyyy", d, locale)});
  return {};
}

std::string DeliveryDayName(TDateTime date, const Locale& locale) {
  return date > kDayNameAfter ? FormatDateTime("dddd", date, locale) : std::string();
}

TDateFieldState ReadDateField(std::string_view text, TDateTime& date) {
  if (std::none_of(text.begin(), text.end(), [](char c) { return IsDigitOrLetter(static_cast<unsigned char>(c)); }))
    return TDateFieldState::Empty;
  const TDateTime read = TextToDate(text);
  if (read == 0)
    return TDateFieldState::NotADate;
  date = read;
  return TDateFieldState::Date;
}

std::string DateFieldText(TDateTime date, const Locale& locale) {
  return date == 0 ? std::string() : FormatDateTime("dd/mm/yyyy", date, locale);
}

TDeliveryDialogState TDeliveryDialogLogic::Initial(const TOrder& order) const {
  TDeliveryDialogState state;
  if (order.DeliveryDate > kDialogFillAfter)
    state.DeliveryText = DateFieldText(WholeDay(order.DeliveryDate), FLocale);
  if (order.LatestDeliveryDate > kDialogFillAfter)
    state.LatestText = DateFieldText(WholeDay(order.LatestDeliveryDate), FLocale);
  state.Note = order.Note;
  return state;
}

bool TDeliveryDialogLogic::OkEnabled(std::string_view deliveryText) const {
  TDateTime d = 0;
  return ReadDateField(deliveryText, d) == TDateFieldState::Date && d > kDayNameAfter;
}

std::string TDeliveryDialogLogic::DayName(std::string_view text) const {
  TDateTime d = 0;
  return ReadDateField(text, d) == TDateFieldState::Date ? DeliveryDayName(d, FLocale) : std::string();
}

TDateTime TDeliveryDialogLogic::ProposeDelivery(std::string_view deliveryText) const {
  TDateTime d = 0;
  switch (ReadDateField(deliveryText, d)) {
  case TDateFieldState::Empty:
    return NextDeliveryDay(FToday + FRules.MinDeliveryDays, FRules);
  case TDateFieldState::NotADate:
    return FToday;
  case TDateFieldState::Date:
    break;
  }
  return d < FToday ? FToday + FRules.MinDeliveryDays : d;
}

TDateTime TDeliveryDialogLogic::ProposeLatest(std::string_view latestText, std::string_view deliveryText) const {
  TDateTime latest = 0;
  TDateTime proposal = 0;
  switch (ReadDateField(latestText, latest)) {
  case TDateFieldState::NotADate:
    return FToday + FRules.MinDeliveryDays;
  case TDateFieldState::Empty:
    proposal = NextDeliveryDay(FToday + FRules.MinDeliveryDays, FRules);
    break;
  case TDateFieldState::Date:
    proposal = latest < FToday ? FToday : latest;
    break;
  }
  TDateTime delivery = 0;
  if (ReadDateField(deliveryText, delivery) == TDateFieldState::Date && delivery > proposal)
    proposal = delivery;
  return proposal;
}

TDeliveryDialogLogic::TOkResult TDeliveryDialogLogic::Ok(std::string_view deliveryText,
                                                         std::string_view latestText) const {
  TOkResult result;
  TDateTime d = 0;
  if (ReadDateField(deliveryText, d) != TDateFieldState::Date) {
    result.Error = Format(Cz("'%s' není platné datum"), {deliveryText});
    return result;
  }
  result.Error = DeliveryDateError(d, FToday, FRules, FLocale);
  if (!result.Error.empty())
    return result;
  TDateTime latest = 0;
  if (ReadDateField(latestText, latest) != TDateFieldState::Date || latest < d)
    latest = d;
  result.DeliveryDate = d;
  result.LatestDeliveryDate = latest;
  return result;
}

bool CheckDeliveryDates(TOrder& order, const TDeliveryRules& rules, TDateTime today, IDeliveryDateDialog& dialog,
                        const Locale& locale) {
  if (QuickDeliveryCheck(order.DeliveryDate, today, rules))
    return true;
  const TDeliveryDialogLogic logic(rules, today, locale);
  TDeliveryDialogState state = logic.Initial(order);
  if (!dialog.Execute(logic, state))
    return false;
  const TDeliveryDialogLogic::TOkResult result = logic.Ok(state.DeliveryText, state.LatestText);
  if (!result.Error.empty())
    return false;
  order.DeliveryDate = result.DeliveryDate;
  order.LatestDeliveryDate = result.LatestDeliveryDate;
  if (state.Note != order.Note) {
    order.Note = std::move(state.Note);
    order.MarkChanged();
  }
  return true;
}

bool CheckDeliveryDates(TOrder& order, IDeliveryDateDialog& dialog) {
  return CheckDeliveryDates(order, TDeliveryRules::FromSettings(App().Settings), Today(), dialog);
}

namespace DeliveryDateField {

TTyping Typing(std::string_view text, const Locale& locale) {
  TTyping typing;
  TDateTime date = 0;
  if (ReadDateField(text, date) == TDateFieldState::Date) {
    typing.Store = true;
    typing.Date = date;
    typing.DayName = DeliveryDayName(date, locale);
  }
  return typing;
}

TLeaving Leaving(std::string_view text, const Locale& locale) {
  TLeaving leaving;
  TDateTime date = 0;
  switch (ReadDateField(text, date)) {
  case TDateFieldState::Empty:
    break;
  case TDateFieldState::Date:
    leaving.Action = TLeaving::Store;
    leaving.Date = date;
    leaving.Text = DateFieldText(date, locale);
    break;
  case TDateFieldState::NotADate:
    leaving.Action = TLeaving::Invalid;
    leaving.Message = Cz("Zadejte datum ve tvaru dd.mm.rrrr");
    break;
  }
  return leaving;
}

TDateTime CalendarDelivery(TDateTime deliveryDate, TDateTime today) {
  return deliveryDate < today ? today : deliveryDate;
}

TDateTime CalendarLatest(TDateTime latestDate, TDateTime deliveryDate, TDateTime today) {
  if (latestDate >= today)
    return latestDate;
  return deliveryDate >= today ? deliveryDate : today;
}

} // namespace DeliveryDateField

namespace DatePicker {

bool Accepts(TDateTime date, TDateTime today) { return WholeDay(date) >= today; }

TDateTime WithMonth(TDateTime date, int month) {
  int year = 0, oldMonth = 0, day = 0;
  DecodeDate(date, year, oldMonth, day);
  if (month < 1 || month > 12)
    return date;
  return ClampedDate(year, month, day);
}

TDateTime WithYear(TDateTime date, int year) {
  int oldYear = 0, month = 0, day = 0;
  DecodeDate(date, oldYear, month, day);
  if (year < 1 || year > 9999)
    return date;
  return ClampedDate(year, month, day);
}

} // namespace DatePicker
