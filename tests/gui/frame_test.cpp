// The frame, views and controls on an offscreen frame: drawing where things
// belong, mouse capture, wheel, keys, menus, dirty redraw and ownership.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "gui/offscreen.h"
#include "platform/clock.h"
#include "tests/gui/gui_test_support.h"

namespace orv {
namespace {

using test::RecordingEditor;
using test::RecordingListener;

constexpr uint32_t kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff, kYellow = 0xffffff00,
                   kMagenta = 0xffff00ff;

// Counts how often it is drawn and how many are alive.
class CountingView : public CView {
 public:
  explicit CountingView(const CRect& size, CColor colour = kGreyCColor) : CView(size), colour(colour) { ++alive; }
  void draw(CDrawContext* context) override {
    ++draws;
    context->setFillColor(colour);
    context->drawRect(size, kDrawFilled);
  }
  int draws = 0;
  CColor colour;
  static inline int alive = 0;

 protected:
  ~CountingView() override { --alive; }
};

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame = new CFrame(CRect(0, 0, 200, 150), &editor);
    ASSERT_TRUE(offscreen::open(frame));
    frame->setBackgroundColor(MakeCColor(10, 20, 30));
  }
  void TearDown() override {
    if (frame) frame->close();
  }
  uint32_t pixel(int x, int y) const { return offscreen::pixel(frame, x, y); }
  void down(CCoord x, CCoord y, int32_t buttons = kLButton) { frame->platformOnMouseDown({x, y}, buttons); }
  void move(CCoord x, CCoord y, int32_t buttons = kLButton) { frame->platformOnMouseMoved({x, y}, buttons); }
  void up(CCoord x, CCoord y, int32_t buttons = 0) { frame->platformOnMouseUp({x, y}, buttons); }
  void key(vst::VstKeyCode k) { frame->platformOnKeyDown(k); }
  void type(const char* text) {
    for (const char* c = text; *c; ++c) key(test::character(*c));
  }

  RecordingEditor editor;
  RecordingListener listener;
  CFrame* frame = nullptr;
};

TEST_F(FrameTest, RendersContainerAndControlsWherePlaced) {
  auto* page = new CViewContainer(CRect(20, 10, 180, 110));
  page->setBackgroundColor(MakeCColor(200, 200, 200));
  CBitmap* strip = test::makeStrip(30, 30, {kRed, kGreen, kBlue});
  auto* knob = new CAnimKnob(CRect(10, 10, 40, 40), &listener, 1, 3, 30, strip);
  knob->setValue(0.5f);
  strip->forget();
  CBitmap* kickImages = test::makeStrip(20, 20, {kYellow, kMagenta});
  auto* kick = new CKickButton(CRect(50, 10, 70, 30), &listener, 2, 20, kickImages);
  kickImages->forget();
  page->addView(knob);
  page->addView(kick);
  frame->addView(page);
  auto* display = new CParamDisplay(CRect(20, 120, 120, 140));
  display->setBackColor(kWhiteCColor);
  display->setFontColor(kBlackCColor);
  display->setFont(kNormalFont);
  display->setValue(12.5f);
  frame->addView(display);
  frame->idle();

  EXPECT_EQ(pixel(5, 5), test::argb(MakeCColor(10, 20, 30)));     // frame background
  EXPECT_EQ(pixel(25, 15), test::argb(MakeCColor(200, 200, 200)));  // page background
  EXPECT_EQ(pixel(45, 35), kGreen);                                 // knob (30..60, 20..50), middle image
  EXPECT_EQ(pixel(80, 30), kYellow);                                // kick button at rest
  EXPECT_EQ(pixel(20, 120), 0xff000000u);                           // display frame
  int dark = 0;
  for (int y = 122; y < 138; ++y)
    for (int x = 22; x < 118; ++x) dark += (pixel(x, y) & 0xff) < 128;
  EXPECT_GT(dark, 20) << "the text \"12.50\" is drawn";
  EXPECT_TRUE(offscreen::writePng(frame, ORV_GUI_TEST_OUTPUT "/frame_render.png"));

  knob->setValue(1.0f);
  knob->invalid();
  frame->idle();
  EXPECT_EQ(pixel(45, 35), kBlue);
  knob->setValue(7.0f);  // out of range: drawn clamped
  frame->idle();
  EXPECT_EQ(pixel(45, 35), kBlue);
}

TEST_F(FrameTest, TextLiesWhereItsAlignmentPutsIt) {
  // The ink of "8.88dB" in a 100 x 20 field, white on black, at the sizes the editors use.
  struct Case {
    CHoriTxtAlign align;
    CFontRef font;
  } cases[] = {{kLeftText, kNormalFontVerySmall}, {kCenterText, kNormalFontSmall}, {kRightText, kNormalFont},
               {kCenterText, kNormalFontVerySmall}};
  for (const Case& c : cases) {
    auto* display = new CParamDisplay(CRect(50, 50, 150, 70), nullptr, kNoFrame);
    display->setStringConvert([](float, char* text) { std::snprintf(text, 256, "8.88dB"); });
    display->setFont(c.font);
    display->setHoriAlign(c.align);
    frame->addView(display);
    frame->idle();
    int left = 1000, right = -1, top = 1000, bottom = -1;
    for (int y = 50; y < 70; ++y)
      for (int x = 50; x < 150; ++x)
        if ((pixel(x, y) & 0xff) > 100) {
          left = std::min(left, x), right = std::max(right, x);
          top = std::min(top, y), bottom = std::max(bottom, y);
        }
    ASSERT_GE(right, 0) << "no text drawn";
    const double size = c.font->getSize();
    EXPECT_NEAR((top + bottom) / 2.0, 60, 2.0) << "vertically centred, size " << size;
    EXPECT_NEAR(bottom - top + 1, size * 0.72, 2.0) << "digits are about 0.72 em high";
    if (c.align == kLeftText) {
      EXPECT_LE(left, 52);
    } else if (c.align == kRightText) {
      EXPECT_GE(right, 146);
    } else {
      EXPECT_NEAR((left + right) / 2.0, 100, 1.5);
    }
    frame->removeView(display);
  }
}

TEST_F(FrameTest, PressIsCapturedByItsViewUntilRelease) {
  editor.knobMode = kLinearMode;
  auto* knob = new CKnob(CRect(50, 50, 80, 80), &listener, 3, nullptr);
  knob->setValue(0.0f);
  RecordingListener other;
  auto* kick = new CKickButton(CRect(100, 50, 120, 70), &other, 4, 10, nullptr);
  frame->addView(knob);
  frame->addView(kick);

  down(65, 65);
  move(65, -35);  // 100 px up, outside the frame: still the knob's
  EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
  move(110, 60);  // over the other control, button held
  EXPECT_FLOAT_EQ(knob->getValue(), 0.25f);
  up(110, 60);
  EXPECT_TRUE(other.changes.empty());
  EXPECT_EQ(editor.begun, std::vector<int32_t>{3});
  EXPECT_EQ(editor.ended, std::vector<int32_t>{3});
  move(65, 0);  // released: moves change nothing
  EXPECT_FLOAT_EQ(knob->getValue(), 0.25f);

  // Shift during the drag slows it down without a jump.
  down(65, 65);
  move(65, 25);
  const float before = knob->getValue();
  move(65, 25, kLButton | kShift);
  EXPECT_FLOAT_EQ(knob->getValue(), before);
  move(65, -75, kLButton | kShift);
  EXPECT_NEAR(knob->getValue(), before + 100.0f / 2000.0f, 1e-6);
  up(65, -75);

  // Ctrl-click: the default value, and no drag.
  knob->setDefaultValue(0.75f);
  down(65, 65, kLButton | kControl);
  EXPECT_FLOAT_EQ(knob->getValue(), 0.75f);
  move(65, 0);
  EXPECT_FLOAT_EQ(knob->getValue(), 0.75f);
  up(65, 0);
}

TEST_F(FrameTest, CircularKnobFollowsTheAngleAndStopsAtTheGap) {
  auto* knob = new CKnob(CRect(0, 0, 100, 100), &listener, 1, nullptr);
  frame->addView(knob);
  struct Case {
    CPoint at;
    float value;
  } cases[] = {
      {{50, 0}, 0.5f},                        // top
      {{50 - 40, 50 + 40}, 0.0f},             // lower left: start
      {{50 + 40, 50 + 40}, 1.0f},             // lower right: end
      {{0, 50}, 1.0f / 6},                    // left: 45 of 270 degrees
      {{55, 100}, 1.0f},                      // in the gap, nearer the end
      {{45, 100}, 0.0f},                      // in the gap, nearer the start
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(knob->valueFromPoint(c.at), c.value, 1e-5) << c.at.x << "," << c.at.y;
  }
  down(50, 0);
  EXPECT_NEAR(knob->getValue(), 0.5f, 1e-5);
  move(100, 50);
  EXPECT_NEAR(knob->getValue(), 5.0f / 6, 1e-5);
  up(100, 50);
}

TEST_F(FrameTest, WheelGoesToTheControlUnderTheMouse) {
  auto* knob = new CKnob(CRect(10, 10, 50, 50), &listener, 5, nullptr);
  knob->setValue(0.5f);
  frame->addView(knob);
  EXPECT_TRUE(frame->platformOnWheel({20, 20}, 1.0f, 0));
  EXPECT_FLOAT_EQ(knob->getValue(), 0.51f);
  EXPECT_TRUE(frame->platformOnWheel({20, 20}, -1.0f, kShift));
  EXPECT_NEAR(knob->getValue(), 0.509f, 1e-6);
  EXPECT_EQ(editor.begun.size(), 2u);
  EXPECT_EQ(editor.ended.size(), 2u);
  EXPECT_FALSE(frame->platformOnWheel({150, 100}, 1.0f, 0));
  // A display over the knob lets the wheel through to it.
  auto* display = new CParamDisplay(CRect(10, 10, 50, 20));
  display->setValue(3.0f);
  frame->addView(display);
  EXPECT_TRUE(frame->platformOnWheel({20, 15}, 1.0f, 0));
  EXPECT_FLOAT_EQ(display->getValue(), 3.0f);
  EXPECT_NEAR(knob->getValue(), 0.519f, 1e-6);
  knob->setValue(1.0f);
  EXPECT_TRUE(frame->platformOnWheel({20, 20}, 1.0f, 0));  // at the end: consumed, stays
  EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
}

TEST_F(FrameTest, TextFieldEditsInPlace) {
  auto* edit = new CTextEdit(CRect(10, 10, 110, 30), &listener, 7, "abc");
  frame->addView(edit);
  frame->addView(new CountingView(CRect(150, 100, 190, 140)));

  down(50, 20);
  ASSERT_TRUE(edit->isEditing());
  EXPECT_EQ(frame->getFocusView(), edit);
  type("X");
  EXPECT_STREQ(edit->getText(), "abcX");
  key(test::virtualKey(VKEY_BACK));
  key(test::virtualKey(VKEY_LEFT));
  type("Z");
  EXPECT_STREQ(edit->getText(), "abZc");
  frame->idle();  // draws the caret
  key(test::virtualKey(VKEY_RETURN));
  EXPECT_FALSE(edit->isEditing());
  EXPECT_EQ(listener.texts, std::vector<std::string>{"abZc"});

  // Escape restores the text and tells nobody.
  down(50, 20);
  type("qq");
  key(test::virtualKey(VKEY_ESCAPE));
  EXPECT_STREQ(edit->getText(), "abZc");
  EXPECT_EQ(listener.texts.size(), 1u);

  // A click elsewhere ends the edit as Enter does.
  down(50, 20);
  vst::VstKeyCode eAcute{};
  eAcute.character = 0xe9;
  key(eAcute);
  type("1");
  key(test::virtualKey(VKEY_LEFT));
  key(test::virtualKey(VKEY_BACK));  // the two bytes of the accented letter go together
  up(50, 20);
  down(170, 120);
  EXPECT_FALSE(edit->isEditing());
  EXPECT_EQ(listener.texts.back(), "abZc1");
  EXPECT_EQ(listener.begins, listener.ends);

  // Keys without a focused field are not handled (the host gets them).
  EXPECT_FALSE(frame->platformOnKeyDown(test::character('a')));
}

TEST_F(FrameTest, MenuChoosesByMouseAndKeyboard) {
  auto* menu = new COptionMenu(CRect(10, 120, 30, 135), &listener, 71, nullptr, nullptr, kCheckStyle);
  for (const char* name : {"A", "B", "C", "D", "E"}) menu->addEntry(name);
  menu->setNbItemsPerColumn(3);
  menu->setCurrent(1);
  frame->addView(menu);
  const int32_t views = frame->getNbViews();

  down(20, 127);
  up(20, 127);
  ASSERT_TRUE(menu->isPopupOpen());
  CView* list = frame->getModalView();
  ASSERT_NE(list, nullptr);
  const CRect r = list->getViewSize();
  EXPECT_LE(r.bottom, 120) << "no room below: the list opens above the menu";
  EXPECT_GT(r.getWidth(), r.getHeight() / 3 * 2) << "two columns";
  frame->idle();
  EXPECT_TRUE(offscreen::writePng(frame, ORV_GUI_TEST_OUTPUT "/menu_render.png"));
  // First row of the second column: entry 3.
  down(r.right - 5, r.top + 5);
  up(r.right - 5, r.top + 5);
  EXPECT_FALSE(menu->isPopupOpen());
  EXPECT_EQ(frame->getModalView(), nullptr);
  EXPECT_EQ(frame->getNbViews(), views);
  EXPECT_EQ(menu->getCurrentIndex(), 3);
  ASSERT_EQ(listener.changes.size(), 1u);
  EXPECT_FLOAT_EQ(listener.changes[0].value, 3.0f);

  // Keyboard: down twice stops at the last entry, Enter chooses.
  ASSERT_TRUE(menu->popup());
  key(test::virtualKey(VKEY_DOWN));
  key(test::virtualKey(VKEY_DOWN));
  key(test::virtualKey(VKEY_RETURN));
  EXPECT_EQ(menu->getCurrentIndex(), 4);
  EXPECT_EQ(listener.changes.size(), 2u);

  // Escape and a click outside cancel.
  ASSERT_TRUE(menu->popup());
  key(test::virtualKey(VKEY_UP));
  key(test::virtualKey(VKEY_ESCAPE));
  ASSERT_TRUE(menu->popup());
  down(199, 149);
  EXPECT_FALSE(menu->isPopupOpen());
  EXPECT_EQ(menu->getCurrentIndex(), 4);
  EXPECT_EQ(listener.changes.size(), 2u);
  EXPECT_EQ(menu->getLastResult(), -1);
}

TEST_F(FrameTest, GetViewAtSeesOnlyVisibleDirectChildren) {
  auto* a = new CountingView(CRect(0, 0, 40, 40));
  auto* b = new CountingView(CRect(20, 20, 60, 60));
  auto* box = new CViewContainer(CRect(100, 50, 200, 150));
  auto* inner = new CountingView(CRect(0, 0, 10, 10));
  box->addView(inner);
  frame->addView(a);
  frame->addView(b);
  frame->addView(box);
  EXPECT_EQ(frame->getViewAt({25, 25}), b);  // topmost
  EXPECT_EQ(frame->getViewAt({5, 5}), a);
  EXPECT_EQ(frame->getViewAt({105, 55}), box);  // not the view inside it
  EXPECT_EQ(box->getViewAt({105, 55}), inner);
  EXPECT_EQ(frame->getViewAtDeep({105, 55}), inner);
  EXPECT_EQ(frame->getViewAt({90, 10}), nullptr);
  b->setVisible(false);
  EXPECT_EQ(frame->getViewAt({25, 25}), a);
  EXPECT_TRUE(frame->isChild(box));
  EXPECT_FALSE(frame->isChild(inner));
}

TEST_F(FrameTest, IdleRedrawsOnlyDirtyViews) {
  auto* one = new CountingView(CRect(0, 0, 30, 30));
  auto* two = new CountingView(CRect(50, 0, 80, 30), kRedCColor);
  auto* three = new CountingView(CRect(100, 0, 130, 30));
  CBitmap* strip = test::makeStrip(30, 30, {kRed, kGreen});
  auto* knob = new CAnimKnob(CRect(0, 100, 30, 130), &listener, 1, 2, 30, strip);
  strip->forget();
  for (CView* v : {static_cast<CView*>(one), static_cast<CView*>(two), static_cast<CView*>(three),
                   static_cast<CView*>(knob)})
    frame->addView(v);
  frame->idle();
  EXPECT_EQ(one->draws, 1);
  EXPECT_EQ(two->draws, 1);
  EXPECT_EQ(three->draws, 1);

  uint64_t drawn = frame->getDrawCount();
  frame->idle();
  EXPECT_EQ(frame->getDrawCount(), drawn) << "nothing changed, nothing drawn";

  two->colour = kBlueCColor;
  two->setDirty();
  frame->idle();
  EXPECT_EQ(one->draws, 1);
  EXPECT_EQ(two->draws, 2);
  EXPECT_EQ(three->draws, 1);
  EXPECT_EQ(frame->getDrawCount(), drawn + 1);
  EXPECT_EQ(pixel(60, 10), kBlue);

  // A control is redrawn when its value differs from the one drawn.
  drawn = frame->getDrawCount();
  knob->setValue(0.0f);
  frame->idle();
  EXPECT_EQ(frame->getDrawCount(), drawn);
  knob->setValue(1.0f);
  frame->idle();
  EXPECT_EQ(frame->getDrawCount(), drawn + 1);
  EXPECT_EQ(pixel(10, 110), kGreen);
}

TEST_F(FrameTest, RemoveViewWithoutReleaseKeepsTheViewAlive) {
  const int before = CountingView::alive;
  auto* kept = new CountingView(CRect(0, 0, 10, 10));
  auto* dropped = new CountingView(CRect(20, 0, 30, 10));
  frame->addView(kept);
  frame->addView(dropped);
  EXPECT_TRUE(frame->removeView(kept, false));
  EXPECT_TRUE(frame->removeView(dropped, true));
  EXPECT_EQ(CountingView::alive, before + 1);
  EXPECT_FALSE(frame->isChild(kept));
  EXPECT_EQ(kept->getNbReference(), 1);
  EXPECT_FALSE(frame->removeView(kept, false)) << "not a child any more";
  // It can go back and is released with the frame.
  EXPECT_TRUE(frame->addView(kept));
  frame->close();
  frame = nullptr;
  EXPECT_EQ(CountingView::alive, before);
}

TEST_F(FrameTest, ReferenceCountsBalance) {
  CBitmap* shared = test::makeStrip(10, 10, {kRed, kGreen});
  auto* font = new CFontDesc("Arial", 10);
  std::vector<CControl*> controls;
  for (int i = 0; i < 3; ++i) {
    auto* display = new CParamDisplay(CRect(i * 20, 0, i * 20 + 10, 10), shared);
    display->setFont(font);
    controls.push_back(display);
    frame->addView(display);
  }
  auto* page = new CViewContainer(CRect(0, 50, 100, 100));
  page->setBackground(shared);
  frame->addView(page);
  EXPECT_EQ(shared->getNbReference(), 5);
  EXPECT_EQ(font->getNbReference(), 4);
  frame->removeView(controls[0]);
  EXPECT_EQ(shared->getNbReference(), 4);
  frame->close();
  frame = nullptr;
  EXPECT_EQ(shared->getNbReference(), 1);
  EXPECT_EQ(font->getNbReference(), 1);
  shared->forget();
  font->forget();
}

TEST_F(FrameTest, FilmStripButtonsAndSwitches) {
  auto* kick = new CKickButton(CRect(0, 0, 20, 20), &listener, 1, 20, nullptr);
  auto* rocker = new CRockerSwitch(CRect(30, 0, 60, 20), &listener, 2, 20, nullptr);
  auto* vswitch = new CVerticalSwitch(CRect(70, 0, 90, 30), &listener, 3, 3, 30, 3, nullptr);
  frame->addView(kick);
  frame->addView(rocker);
  frame->addView(vswitch);

  down(10, 10);
  EXPECT_FLOAT_EQ(kick->getValue(), 1.0f);
  up(10, 10);
  EXPECT_FLOAT_EQ(kick->getValue(), 0.0f);
  ASSERT_EQ(listener.changes.size(), 2u);

  down(35, 10);
  EXPECT_FLOAT_EQ(rocker->getValue(), -1.0f);
  up(35, 10);
  EXPECT_FLOAT_EQ(rocker->getValue(), 0.0f);
  down(55, 10);
  EXPECT_FLOAT_EQ(rocker->getValue(), 1.0f);
  up(55, 10);

  down(80, 25);
  EXPECT_FLOAT_EQ(vswitch->getValue(), 1.0f);
  move(80, 15);
  EXPECT_FLOAT_EQ(vswitch->getValue(), 0.5f);
  up(80, 15);
  EXPECT_EQ(listener.begins, listener.ends);
  EXPECT_EQ(editor.begun, editor.ended);
}

TEST_F(FrameTest, TimersFireFromIdleWithoutRecursion) {
  int fired = 0;
  CVSTGUITimer timer(
      [&](CVSTGUITimer*) {
        ++fired;
        frame->idle();  // an editor's idle from its own timer
        CVSTGUITimer::fireDue(platform::tickCountMs() + 1000);
      },
      1);
  timer.start();
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  frame->idle();
  EXPECT_EQ(fired, 1);
  timer.stop();
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  frame->idle();
  EXPECT_EQ(fired, 1);
}

TEST(Bitmap, LoadsPngByResourceNumberAndRejectsBadData) {
  // A PNG made by drawing a generated bitmap offscreen.
  auto* frame = new CFrame(CRect(0, 0, 4, 3), nullptr);
  ASSERT_TRUE(offscreen::open(frame));
  CBitmap* generated = test::makeStrip(4, 3, {kRed});
  frame->setBackground(generated);
  generated->forget();
  frame->idle();
  const std::string path = ORV_GUI_TEST_OUTPUT "/bitmap.png";
  ASSERT_TRUE(offscreen::writePng(frame, path));
  frame->close();
  std::ifstream in(path, std::ios::binary);
  static std::vector<unsigned char> png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(png.size(), 8u);

  const auto previous = CBitmap::setResourceLookup([](int32_t id) -> PngData {
    if (id == 19000) return {png.data(), png.size()};
    if (id == 19001) return {png.data(), png.size() / 2};  // cut short
    return {};
  });
  auto* bitmap = new CBitmap(19000);
  EXPECT_TRUE(bitmap->isLoaded());
  EXPECT_EQ(bitmap->getWidth(), 4);
  EXPECT_EQ(bitmap->getHeight(), 3);
  EXPECT_EQ(bitmap->getPixel(3, 2), kRed);
  bitmap->forget();
  for (int32_t id : {19001, 12345}) {
    auto* bad = new CBitmap(id);
    EXPECT_FALSE(bad->isLoaded()) << id;
    EXPECT_EQ(bad->getWidth(), 0);
    bad->draw(nullptr, CRect(0, 0, 1, 1));  // harmless
    bad->forget();
  }
  const unsigned char garbage[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  auto* fromBytes = new CBitmap(garbage, sizeof garbage);
  EXPECT_FALSE(fromBytes->isLoaded());
  fromBytes->forget();
  CBitmap::setResourceLookup(previous);
}

TEST(Font, ArialResolvesToAMetricCompatibleFace) {
  EXPECT_EQ(kNormalFontSmall->getResolvedFamily(), "Liberation Sans");
  EXPECT_EQ(kNormalFontVerySmall->getSize(), 9);
  EXPECT_EQ(kNormalFontSmall->getSize(), 11);
  EXPECT_EQ(kNormalFont->getSize(), 12);
  // Liberation Sans has Arial's advance widths (O 0.778, r 0.333, v 0.5 em):
  // "Orv" at 12 px is 19.3 px, whole pixels with hinted metrics.
  const CCoord width = CDrawContext::measureString(*kNormalFont, "Orv");
  EXPECT_NEAR(width, 19.33, 0.75);
}

TEST(FileSelector, OpeningAFrameProvidesTheDesktopDialog) {
  const auto previous = CNewFileSelector::setFactory(nullptr);
  auto* frame = new CFrame(CRect(0, 0, 10, 10), nullptr);
  ASSERT_TRUE(offscreen::open(frame));
  auto selector = CNewFileSelector::create(frame, CNewFileSelector::kSelectFile);
  ASSERT_NE(selector, nullptr);
  // Without zenity or kdialog on the path the dialog says so and cancels.
  const char* path = std::getenv("PATH");
  const std::string saved = path ? path : "";
  setenv("PATH", "/nonexistent", 1);
  EXPECT_FALSE(selector->runModal());
  EXPECT_EQ(selector->getNumSelectedFiles(), 0);
  setenv("PATH", saved.c_str(), 1);
  frame->close();
  CNewFileSelector::setFactory(previous);
}

}  // namespace
}  // namespace orv
