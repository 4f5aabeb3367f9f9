#include <gtest/gtest.h>

#include <memory>

#include "catalogue/PriceList.h"
#include "pictures/PicturePreview.h"

namespace {

class TFakeTimer : public IOneShotTimer {
public:
  void Start() override {
    ++Starts;
    Running = true;
  }
  void Stop() override { Running = false; }
  bool Active() const override { return Running; }

  bool Running = false;
  int Starts = 0;
};

struct TFakeView : IPreviewView {
  bool SmallPreviewOn() const override { return Small; }
  bool ViewerOn() const override { return Large; }
  bool ViewerVisible() const override { return Visible; }
  bool LeftPanelShown() const override { return Panel; }

  bool Small = true, Large = true, Visible = true, Panel = true;
};

class PicturePreviewTest : public ::testing::Test {
protected:
  PicturePreviewTest() {
    for (int i = 0; i < 12; ++i) {
      auto card = std::make_unique<TPriceListItem>();
      card->Nazev = "card " + std::to_string(i);
      card->OBRAZEK = i == 11 ? "" : "C:\\foto\\" + std::to_string(i % 10) + ".jpg";
      Cards.Add(std::move(card));
    }
  }

  TImgList List;
  TPriceList Cards;
  TFakeTimer Timer;
  TFakeView View;
  std::vector<TPictureRequest> Started;
  TPicturePreview Preview{List, Cards, Timer, View, [this](TPictureRequest r) { Started.push_back(std::move(r)); }};
};

TEST_F(PicturePreviewTest, MovingQuicklyStartsOneWorkerForTheCardCurrentWhenTheTimerFires) {
  for (int row = 0; row < 10; ++row)
    Preview.Request(row);
  EXPECT_EQ(Timer.Starts, 1);
  EXPECT_TRUE(Started.empty());
  Preview.TimerFired();
  EXPECT_FALSE(Timer.Running);
  ASSERT_EQ(Started.size(), 1u);
  EXPECT_EQ(Started[0].CardIndex, 9);
  EXPECT_EQ(Started[0].ReportText, "card 9");
  ASSERT_TRUE(Started[0].Entry);
  EXPECT_EQ(Started[0].Entry->JmenoObr, "foto\\9.jpg");
  EXPECT_EQ(Started[0].Entry->Stav, kObrNotLookedAt);
  EXPECT_EQ(Started[0].Targets, (std::vector<TImageTarget>{TImageTarget::Viewer, TImageTarget::SmallPreview}));

  // The same card again asks for nothing; cards with the same picture share its entry.
  Preview.Request(9);
  EXPECT_EQ(Timer.Starts, 1);
  Preview.Request(10);
  Preview.TimerFired();
  Preview.Request(0);
  Preview.TimerFired();
  ASSERT_EQ(Started.size(), 3u);
  EXPECT_EQ(Started[1].Entry->JmenoObr, "foto\\0.jpg");
  EXPECT_EQ(Started[2].Entry, Started[1].Entry);
  EXPECT_EQ(List.Count(), 2);
}

TEST_F(PicturePreviewTest, ThePreviewsSwitchedOnChooseTheTargets) {
  using T = TImageTarget;
  const struct {
    bool Small, Large, Visible, Panel;
    bool Requested;
    std::vector<TImageTarget> Targets;
  } cases[] = {
      {false, false, true, true, false, {}},
      {true, false, false, true, true, {T::SmallPreview}},
      // The small preview counts only while the left panel is shown.
      {true, false, false, false, true, {}},
      {false, true, true, true, true, {T::Viewer}},
      {false, true, false, true, true, {}},
      {true, true, true, true, true, {T::Viewer, T::SmallPreview}},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(row);
    View.Small = c.Small;
    View.Large = c.Large;
    View.Visible = c.Visible;
    View.Panel = c.Panel;
    Started.clear();
    Timer.Starts = 0;
    Preview.Request(++row);
    EXPECT_EQ(Timer.Starts, c.Requested ? 1 : 0);
    if (Timer.Running)
      Preview.TimerFired();
    ASSERT_EQ(Started.size(), c.Requested ? 1u : 0u);
    if (c.Requested) {
      EXPECT_EQ(Started[0].Targets, c.Targets);
    }
  }
}

TEST_F(PicturePreviewTest, NoWorkerForAnInvalidCardAndAnEmptyPictureGivesNoEntry) {
  Preview.Request(12);
  Preview.TimerFired();
  EXPECT_TRUE(Started.empty());
  Preview.Request(-1);
  Preview.TimerFired();
  EXPECT_TRUE(Started.empty());

  // A card without a picture still gets a worker, which clears the targets.
  Preview.Request(11);
  Preview.TimerFired();
  ASSERT_EQ(Started.size(), 1u);
  EXPECT_EQ(Started[0].Entry, nullptr);
}

TEST_F(PicturePreviewTest, SwitchingAPreviewOnRequestsTheSelectedCardAgain) {
  Preview.Request(3);
  Preview.TimerFired();
  Preview.Restart(3);
  EXPECT_TRUE(Timer.Running);
  Preview.TimerFired();
  ASSERT_EQ(Started.size(), 2u);
  EXPECT_EQ(Started[1].CardIndex, 3);
}

} // namespace
