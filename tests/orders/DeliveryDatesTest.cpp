#include <gtest/gtest.h>

#include <optional>

#include "formats/Cp1250Utf8.h"
#include "orders/DeliveryDates.h"
#include "orders/Order.h"

namespace {

// March 2025: Wednesday 12, Friday 14, Saturday 15, Monday 17; Saturday 22, Monday 24.
TDateTime March(int day) { return EncodeDate(2025, 3, day); }
const TDateTime kWednesday = March(12);
const TDateTime kFriday = March(14);

TDeliveryRules Rules(int min = 0, int max = 90, std::string days = "12345") {
  TDeliveryRules rules;
  rules.MinDeliveryDays = min;
  rules.MaxDeliveryDays = max;
  rules.EnabledDaysOfWeek = std::move(days);
  return rules;
}

std::string Utf8(const std::string& cp1250) { return Cp1250ToUtf8(cp1250); }

TEST(DeliveryRulesTest, WeekdaysCountFromMondayAndDaysOfWeekFallBackToWorkdays) {
  EXPECT_EQ(DeliveryWeekday(March(17)), 1);
  EXPECT_EQ(DeliveryWeekday(kWednesday + 0.75), 3); // the time of day does not count
  EXPECT_EQ(DeliveryWeekday(March(16)), 7);
  const struct {
    const char* Stored;
    const char* Used;
  } cases[] = {{"8", "12345"}, {"", "12345"}, {"90", "12345"}, {"67", "67"}, {"x6", "x6"}, {"7654321", "7654321"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Stored);
    EXPECT_EQ(NormalizeDaysOfWeek(c.Stored), c.Used);
  }
}

TEST(DeliveryRulesTest, NextDeliveryDayLooksAWeekAhead) {
  EXPECT_EQ(NextDeliveryDay(March(15), Rules()), March(17));           // Saturday -> Monday
  EXPECT_EQ(NextDeliveryDay(March(17), Rules()), March(17));           // a delivery day itself
  EXPECT_EQ(NextDeliveryDay(March(17), Rules(0, 90, "6")), March(22)); // only Saturdays
  // Days that name no weekday (as stored before the fallback): the date itself.
  EXPECT_EQ(NextDeliveryDay(March(15), Rules(0, 90, "9")), March(15));
}

TEST(DeliveryRulesTest, QuickTestAndTheDialogsOkRules) {
  const struct {
    const char* Name;
    TDeliveryRules Rules;
    TDateTime Today, Date;
    bool Quick;
    const char* Error; // UTF-8, empty when OK accepts the date
  } cases[] = {
      {"today", Rules(), kWednesday, kWednesday, true, ""},
      {"no date", Rules(), kWednesday, 0, false, "Minimální datum dodání je 12.03.2025"},
      {"yesterday", Rules(), kWednesday, March(11), false, "Minimální datum dodání je 12.03.2025"},
      {"Saturday", Rules(), kWednesday, March(15), false, "Nepovolený den dodání (sobota 15.3.2025)"},
      {"Saturday allowed", Rules(0, 90, "136"), kWednesday, March(15), true, ""},
      {"before the minimum", Rules(2), kFriday, March(15), false, "Minimální datum dodání je 16.03.2025"},
      {"minimum on a Sunday", Rules(2), kFriday, March(16), false, "Nepovolený den dodání (neděle 16.3.2025)"},
      // today + 10 is Saturday 22: Monday 24 fails the quick test, but the dialog's limit runs
      // on to the next delivery day.
      {"maximum itself", Rules(0, 9), kWednesday, March(21), true, ""},
      {"after the maximum's weekend", Rules(0, 10), kWednesday, March(24), false, ""},
      {"beyond it", Rules(0, 10), kWednesday, March(25), false, "Maximální datum dodání je 24.03.2025"},
      {"time of day", Rules(), kWednesday, kWednesday + 0.99, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(QuickDeliveryCheck(c.Date, c.Today, c.Rules), c.Quick);
    EXPECT_EQ(Utf8(DeliveryDateError(c.Date, c.Today, c.Rules, Locale::Czech())), c.Error);
  }
}

class DeliveryDialogTest : public ::testing::Test {
protected:
  TDeliveryDialogLogic Logic(TDeliveryRules rules = Rules(), TDateTime today = kWednesday) {
    return TDeliveryDialogLogic(std::move(rules), today, Locale::Czech());
  }
};

TEST_F(DeliveryDialogTest, FieldsOpenWithDatesAfter2000AndOkNeedsADateAfter1990) {
  TOrder order;
  order.DeliveryDate = March(17) + 0.5;
  order.LatestDeliveryDate = EncodeDate(2000, 1, 1);
  order.Note = {"jedna", "dva"};
  const TDeliveryDialogState state = Logic().Initial(order);
  EXPECT_EQ(state.DeliveryText, "17.03.2025");
  EXPECT_EQ(state.LatestText, "");
  EXPECT_EQ(state.Note, order.Note);

  const struct {
    const char* Text;
    bool Ok;
    const char* DayName;
  } cases[] = {{"17.03.2025", true, "pondělí"}, {"  .  .    ", false, ""},   {"31.02.2025", false, ""},
               {"01.01.1990", false, ""},       {"2.1.1990", true, "úterý"}, {"abc", false, ""}};
  const TDeliveryDialogLogic logic = Logic();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(logic.OkEnabled(c.Text), c.Ok);
    EXPECT_EQ(Utf8(logic.DayName(c.Text)), c.DayName);
  }
}

TEST_F(DeliveryDialogTest, OkRaisesTheLatestDateToTheDeliveryDate) {
  const TDeliveryDialogLogic logic = Logic();
  const struct {
    const char* Latest;
    TDateTime Expected;
  } cases[] = {{"14.03.2025", March(17)},
               {"", March(17)},
               {"nic", March(17)},
               {"20.03.2025", March(20)},
               {"17.03.2025", March(17)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Latest);
    const auto result = logic.Ok("17.03.2025", c.Latest);
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(result.DeliveryDate, March(17));
    EXPECT_EQ(result.LatestDeliveryDate, c.Expected);
  }
  EXPECT_EQ(Utf8(logic.Ok("15.03.2025", "").Error), "Nepovolený den dodání (sobota 15.3.2025)");
  EXPECT_EQ(Utf8(logic.Ok("xx", "").Error), "'xx' není platné datum");
}

TEST_F(DeliveryDialogTest, CalendarButtonsProposeDates) {
  // Minimum 2 days on a Friday: Sunday is the first allowed day, Monday the first delivery day.
  const TDeliveryDialogLogic logic = Logic(Rules(2), kFriday);
  const struct {
    const char* Delivery;
    TDateTime Expected;
  } deliveries[] = {{"", March(17)},
                    {"  .  .    ", March(17)},
                    {"x1", kFriday},
                    {"20.03.2025", March(20)},
                    {"10.03.2025", March(16)}};
  for (const auto& c : deliveries) {
    SCOPED_TRACE(c.Delivery);
    EXPECT_EQ(logic.ProposeDelivery(c.Delivery), c.Expected);
  }
  const struct {
    const char* Latest;
    const char* Delivery;
    TDateTime Expected;
  } latest[] = {
      {"", "", March(17)},
      {"", "19.03.2025", March(19)}, // a later delivery date wins
      {"21.03.2025", "19.03.2025", March(21)},
      {"21.03.2025", "25.03.2025", March(25)},
      {"01.03.2025", "", kFriday}, // before today: today
      {"01.03.2025", "15.03.2025", March(15)},
      {"zz", "25.03.2025", March(16)}, // not a date: today + minimum, nothing else
  };
  for (const auto& c : latest) {
    SCOPED_TRACE(std::string(c.Latest) + "/" + c.Delivery);
    EXPECT_EQ(logic.ProposeLatest(c.Latest, c.Delivery), c.Expected);
  }
}

// Answers the dialog with fixed fields, after checking it was opened as expected.
class TScriptedDialog : public IDeliveryDateDialog {
public:
  bool Execute(const TDeliveryDialogLogic& logic, TDeliveryDialogState& state) override {
    ++Calls;
    Opened = state;
    OkEnabledAtOpen = logic.OkEnabled(state.DeliveryText);
    if (!Answer)
      return false;
    state = *Answer;
    return logic.Ok(state.DeliveryText, state.LatestText).Error.empty();
  }
  int Calls = 0;
  TDeliveryDialogState Opened;
  bool OkEnabledAtOpen = false;
  std::optional<TDeliveryDialogState> Answer;
};

TEST_F(DeliveryDialogTest, CheckOpensTheDialogOnlyWhenTheQuickTestFails) {
  TOrder order;
  order.DeliveryDate = kWednesday;
  TScriptedDialog dialog;
  EXPECT_TRUE(CheckDeliveryDates(order, Rules(), kWednesday, dialog, Locale::Czech()));
  EXPECT_EQ(dialog.Calls, 0);

  // Without a delivery date: an empty field, OK disabled; Storno changes nothing.
  order.DeliveryDate = 0;
  order.LatestDeliveryDate = March(1);
  EXPECT_FALSE(CheckDeliveryDates(order, Rules(), kWednesday, dialog, Locale::Czech()));
  EXPECT_EQ(dialog.Calls, 1);
  EXPECT_EQ(dialog.Opened.DeliveryText, "");
  EXPECT_FALSE(dialog.OkEnabledAtOpen);
  EXPECT_EQ(order.DeliveryDate, 0);
  EXPECT_EQ(order.LatestDeliveryDate, March(1));
  EXPECT_FALSE(order.Modified);

  // OK: the dialog's dates (latest raised) and its note, which marks the order changed.
  dialog.Answer = TDeliveryDialogState{"17.03.2025", "01.03.2025", {"zavolat předem"}};
  EXPECT_TRUE(CheckDeliveryDates(order, Rules(), kWednesday, dialog, Locale::Czech()));
  EXPECT_EQ(order.DeliveryDate, March(17));
  EXPECT_EQ(order.LatestDeliveryDate, March(17));
  EXPECT_EQ(order.Note, std::vector<std::string>{"zavolat předem"});
  EXPECT_TRUE(order.Modified);
}

TEST(DeliveryDateFieldTest, TypingLeavingAndTheCalendarButtons) {
  const Locale czech = Locale::Czech();
  const auto typed = DeliveryDateField::Typing("17.3.25", czech);
  EXPECT_TRUE(typed.Store);
  EXPECT_EQ(typed.Date, March(17));
  EXPECT_EQ(Utf8(typed.DayName), "pondělí");
  EXPECT_FALSE(DeliveryDateField::Typing("17.3.", czech).Store);

  const struct {
    const char* Text;
    DeliveryDateField::TLeaving::TAction Action;
    const char* NewText;
    const char* Message;
  } cases[] = {
      {"  .  .    ", DeliveryDateField::TLeaving::Keep, "", ""},
      {"", DeliveryDateField::TLeaving::Keep, "", ""},
      {"17.3.25", DeliveryDateField::TLeaving::Store, "17.03.2025", ""},
      {"32.03.2025", DeliveryDateField::TLeaving::Invalid, "", "Zadejte datum ve tvaru dd.mm.rrrr"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    const auto leaving = DeliveryDateField::Leaving(c.Text, czech);
    EXPECT_EQ(leaving.Action, c.Action);
    EXPECT_EQ(leaving.Text, c.NewText);
    EXPECT_EQ(Utf8(leaving.Message), c.Message);
  }
  EXPECT_EQ(Utf8(DeliveryDayName(EncodeDate(1990, 1, 1), czech)), "");

  EXPECT_EQ(DeliveryDateField::CalendarDelivery(March(20), kWednesday), March(20));
  EXPECT_EQ(DeliveryDateField::CalendarDelivery(0, kWednesday), kWednesday);
  EXPECT_EQ(DeliveryDateField::CalendarLatest(March(21), March(20), kWednesday), March(21));
  EXPECT_EQ(DeliveryDateField::CalendarLatest(0, March(20), kWednesday), March(20));
  EXPECT_EQ(DeliveryDateField::CalendarLatest(0, March(1), kWednesday), kWednesday);
}

TEST(DatePickerTest, AcceptsTodayOrLaterAndKeepsTheDayWithinTheMonth) {
  EXPECT_TRUE(DatePicker::Accepts(kWednesday + 0.3, kWednesday));
  EXPECT_FALSE(DatePicker::Accepts(kWednesday - 1, kWednesday));
  EXPECT_EQ(DatePicker::WithMonth(EncodeDate(2024, 1, 31), 2), EncodeDate(2024, 2, 29));
  EXPECT_EQ(DatePicker::WithMonth(EncodeDate(2025, 1, 31), 4), EncodeDate(2025, 4, 30));
  EXPECT_EQ(DatePicker::WithYear(EncodeDate(2024, 2, 29), 2025), EncodeDate(2025, 2, 28));
  EXPECT_EQ(DatePicker::WithMonth(EncodeDate(2025, 1, 31), 13), EncodeDate(2025, 1, 31));
}

} // namespace
