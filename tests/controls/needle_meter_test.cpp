// The needle meter: where the needles point, the over lamp's latch, the
// readouts' texts and colours, drawn with Orv Valdris's meter bitmaps as its
// editor places the left meter.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "controls/needle_meter.h"
#include "gui/offscreen.h"
#include "tests/gui/gui_test_support.h"

namespace orv {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr CPoint kPivot{121, 116};

class NeedleMeterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame = new CFrame(CRect(0, 0, 450, 130), &editor);
    ASSERT_TRUE(offscreen::open(frame));
    CBitmap* page = new CBitmap(19000);
    ASSERT_TRUE(page->isLoaded()) << "the module's bitmaps load by number";
    frame->setBackground(page);
    page->forget();
    meter = makeMeter(&listener);
    frame->addView(meter);
    frame->idle();
  }
  void TearDown() override { frame->close(); }

  // The left meter of Orv Valdris's editor.
  static COldVuMeter* makeMeter(CControlListener* listener) {
    CBitmap* face = new CBitmap(19028);
    CBitmap* cover = new CBitmap(19029);
    CBitmap* lamp = new CBitmap(19030);
    auto* m = new COldVuMeter(CRect(49, 34, 195, 104), listener, 58, face, cover, CPoint(115, 85), CPoint(49, 104),
                              lamp, kPivot, 3, 70, 55, 70, CRect(133, 87, 183, 97), CRect(59, 87, 109, 97));
    face->forget();
    cover->forget();
    lamp->forget();
    return m;
  }
  // The colour at radius r along the needle's angle for level v.
  CColor alongNeedle(float v, double r) const {
    const double a = needleAngle(v);
    return offscreen::color(frame, static_cast<int>(std::lround(kPivot.x + 0.5 + r * std::cos(a))),
                            static_cast<int>(std::lround(kPivot.y + 0.5 - r * std::sin(a))));
  }
  // Pixels of a rectangle that are clearly red.
  int redPixels(const CRect& r) const {
    int n = 0;
    for (int y = static_cast<int>(r.top); y < r.bottom; ++y)
      for (int x = static_cast<int>(r.left); x < r.right; ++x) {
        const CColor c = offscreen::color(frame, x, y);
        n += c.red > 150 && c.green < 110;
      }
    return n;
  }

  test::RecordingEditor editor;
  test::RecordingListener listener;
  CFrame* frame = nullptr;
  COldVuMeter* meter = nullptr;
};

TEST(NeedleLaw, RestsAt150DegreesAndReaches30AtTheTopOfTheScale) {
  EXPECT_NEAR(needleAngle(0.0f) / kDegree, 150.0, 1e-3);
  EXPECT_NEAR(needleAngle(1.44f) / kDegree, 30.0, 1e-4);
  EXPECT_NEAR(needleAngle(1.5f) / kDegree, 24.0, 0.5);
  EXPECT_DOUBLE_EQ(needleAngle(4.0f), needleAngle(1.5f)) << "clamped at 1.5";
  EXPECT_DOUBLE_EQ(needleAngle(NAN), needleAngle(0.0f)) << "not a number rests the needle";
}

TEST_F(NeedleMeterTest, NeedlesAreDrawnWhereTheLawPointsThem) {
  const CColor grey = COldVuMeter::kGrey, red = COldVuMeter::kRed;
  auto near = [](CColor a, CColor b) {
    return std::abs(a.red - b.red) < 40 && std::abs(a.green - b.green) < 40 && std::abs(a.blue - b.blue) < 40;
  };
  meter->setAllValues(0.0f, 0.0f, 1.44f, 0.0f, 0.0f);
  frame->idle();
  EXPECT_TRUE(near(alongNeedle(0.0f, 40), grey)) << "first needle at rest, 150 degrees";
  EXPECT_TRUE(near(alongNeedle(1.44f, 62), red)) << "second needle at 30 degrees";
  EXPECT_FALSE(near(alongNeedle(1.44f, 40), red)) << "the second needle starts at radius 55";

  // The same sum of values as before: still redrawn.
  meter->setAllValues(1.44f, 0.0f, 0.0f, 0.0f, 0.0f);
  frame->idle();
  EXPECT_TRUE(near(alongNeedle(1.44f, 40), grey));
  EXPECT_FALSE(near(alongNeedle(0.0f, 40), grey)) << "redrawn: the old needle is gone";
}

TEST_F(NeedleMeterTest, OverLampLatchesUntilCleared) {
  struct Step {
    float over;
    int32_t image;  // 0 over, 1 held, 2 off
  };
  const Step steps[] = {{0.0f, 2}, {1.0f, 0}, {0.2f, 1}, {0.1f, 1}, {1.0f, 0}, {0.0f, 1}, {-0.2f, 1}};
  uint32_t drawn[3] = {};
  for (const Step& s : steps) {
    meter->setOver(s.over);
    EXPECT_EQ(meter->lampImage(), s.image) << s.over;
    frame->idle();
    drawn[s.image] = offscreen::pixel(frame, 122, 92);
  }
  EXPECT_TRUE(meter->isOverHeld());
  EXPECT_NE(drawn[0], drawn[1]) << "over and held look different";
  meter->clearOver();
  EXPECT_FALSE(meter->isOverHeld());
  EXPECT_EQ(meter->lampImage(), 2);
  frame->idle();
  EXPECT_EQ(offscreen::pixel(frame, 122, 92), drawn[2]);
  EXPECT_NE(drawn[2], drawn[0]);

  meter->setOver(2.0f);
  meter->resetMeter();
  EXPECT_EQ(meter->lampImage(), 2);
  EXPECT_LT(meter->getNeedle(), 1e-6f);
}

TEST_F(NeedleMeterTest, ReadoutsInDbRedAtFullScaleOnTheFirstOnly) {
  struct Case {
    double value;
    const char* text;
  };
  for (const Case& c : {Case{1.0, "0.00dB"}, Case{0.5, "-6.02dB"}, Case{2.0, "6.02dB"}, Case{0.00001, "-100.00dB"},
                        Case{0.000009, "-oodB"}, Case{0.0, "-oodB"}}) {
    char text[64];
    COldVuMeter::readoutText(c.value, text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.value;
  }
  // The face has red of its own: compare what the readouts add to it.
  const CRect first(133, 87, 183, 97), second(59, 87, 109, 97);
  meter->setAllValues(0.1f, 0.0f, 0.1f, 0.5f, 0.5f);
  frame->idle();
  const int firstGrey = redPixels(first), secondGrey = redPixels(second);
  meter->setAllValues(0.1f, 0.0f, 0.1f, 1.0f, 1.0f);
  frame->idle();
  EXPECT_GT(redPixels(first), firstGrey + 10) << "a peak at full scale is red";
  EXPECT_LT(redPixels(second), secondGrey + 5) << "the second readout is always grey";
  meter->setReadout1(0.99f);
  frame->idle();
  EXPECT_LT(redPixels(first), firstGrey + 5);
}

TEST_F(NeedleMeterTest, AnyChangeMakesTheControlRedrawAndAClickReachesTheEditor) {
  meter->setAllValues(0.5f, 0.0f, 0.6f, 0.7f, 0.4f);
  EXPECT_TRUE(meter->isDirty());
  frame->idle();
  EXPECT_FALSE(meter->isDirty());
  meter->setSecondNeedle(0.61f);
  EXPECT_TRUE(meter->isDirty());
  frame->idle();

  frame->platformOnMouseDown({100, 60}, kLButton);
  frame->platformOnMouseUp({100, 60}, 0);
  ASSERT_EQ(listener.changes.size(), 1u);
  EXPECT_EQ(listener.changes[0].tag, 58);
  frame->platformOnMouseDown({100, 60}, kRButton);
  EXPECT_EQ(listener.changes.size(), 1u);
}

// Three levels as PNGs for a look: at rest, a moderate level, and an over.
TEST_F(NeedleMeterTest, RendersThreeLevels) {
  struct Level {
    const char* name;
    float vu, over, ppm, peak, vuHold;
  };
  const Level levels[] = {
      {"rest", 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
      {"moderate", 0.5f, 0.0f, 0.71f, 0.8f, 0.55f},
      {"over", 1.3f, 1.0f, 1.45f, 1.2f, 1.3f},
  };
  for (const Level& l : levels) {
    meter->resetMeter();
    meter->setAllValues(l.vu, l.over, l.ppm, l.peak, l.vuHold);
    frame->invalid();
    frame->idle();
    EXPECT_TRUE(offscreen::writePng(frame, std::string(ORV_CONTROLS_TEST_OUTPUT "/meter-") + l.name + ".png"));
  }
}

}  // namespace
}  // namespace orv
