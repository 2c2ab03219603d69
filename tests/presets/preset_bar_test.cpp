// The preset bar in an editor window (offscreen), driven with synthetic
// mouse and keys: stepping, choosing and renaming presets, the default
// buttons' double-click, the file buttons' right click, and the idle timer.
#include "preset_support.h"

#include "gui/offscreen.h"
#include "tests/gui/gui_test_support.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "presets/preset_bar.h"

namespace presets_test {
namespace {

using namespace orv;

// A product editor with nothing but the bar, on a frame of Orv Valdris's size.
class BarEditor : public CPresetSystemEditor {
 public:
  explicit BarEditor(CPresetSystemEffect* effect) : CPresetSystemEditor(effect) {
    rect.right = 450;
    rect.bottom = 460;
  }
  bool open(void* window) override {
    frame = new CFrame(CRect(0, 0, 450, 460), window, this);
    if (!frame->isOpen()) {
      frame->close();
      frame = nullptr;
      return false;
    }
    auto* back = new CBitmap(19000);
    frame->setBackground(back);
    back->forget();
    return CPresetSystemEditor::open(window);
  }
  void close() override {
    CPresetSystemEditor::close();
    if (frame) frame->close();
    frame = nullptr;
  }
  void idle() override {
    ++idles;
    CPresetSystemEditor::idle();
  }
  int idles = 0;
};

class PresetBarTest : public PresetSystemTest {
 protected:
  void SetUp() override {
    PresetSystemTest::SetUp();
    std::unique_ptr<AEffEditor> own(valdris.getEditor());
    editor = new BarEditor(&valdris);
    own.reset();
    ASSERT_TRUE(editor->open(&window));
    frame = editor->getFrame();
    frame->idle();
  }
  void TearDown() override {
    editor->close();
    PresetSystemTest::TearDown();
  }
  void click(CCoord x, CCoord y, int32_t buttons = kLButton) {
    frame->platformOnMouseMoved({x, y}, 0);
    frame->platformOnMouseDown({x, y}, buttons);
    frame->platformOnMouseUp({x, y}, 0);
  }
  void key(vst::VstKeyCode k) { frame->platformOnKeyDown(k); }
  std::string presetName(int k) { return nameOf(valdris.presetTable()[k]); }
  bool stored(const char* value) {
    const platform::RegistryKey key = platform::RegistryKey::open(orv::kPresetSystemKey);
    uint8_t data[4096];
    uint32_t size = sizeof data;
    return key && key.query(value, platform::RegType::binary, data, size);
  }

  Valdris valdris{host};
  BarEditor* editor = nullptr;
  CFrame* frame = nullptr;
  int window = 0;
  offscreen::ScopedOffscreenFrames offscreenFrames;
};

TEST_F(PresetBarTest, OpensWithTheCurrentPresetAndClosesWithoutATrace) {
  valdris.selectPreset(0);
  ASSERT_NE(editor->getNameField(), nullptr);
  EXPECT_STREQ(editor->getNameField()->getText(), presetName(0).c_str());
  COptionMenu* menu = editor->getPresetMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->getNbEntries(), 16);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(menu->getEntry(k)->getTitle(), presetName(k)) << k;
  EXPECT_EQ(menu->getCurrentIndex(), 0);
  // Name field, menu, rocker and ten buttons, tags 59 to 64 and 71 to 77.
  std::vector<int32_t> tags;
  for (int i = 0; i < frame->getNbViews(); ++i)
    if (auto* c = dynamic_cast<CControl*>(frame->getView(i))) tags.push_back(c->getTag());
  EXPECT_EQ(tags, (std::vector<int32_t>{59, 71, 60, 61, 62, 72, 63, 64, 73, 76, 74, 77, 75}));
  EXPECT_TRUE(editor->isIdleTimerRunning());
  // The timer runs the editor's idle between the host's idle calls.
  const int before = editor->idles;
  CVSTGUITimer::fireDue(platform::tickCountMs() + CPresetSystemEditor::kIdlePeriodMs + 1);
  EXPECT_EQ(editor->idles, before + 1);

  // The bar drawn, for a look: the strip under the pages, twice its size.
  frame->invalid();
  frame->idle();
  EXPECT_TRUE(offscreen::writePng(frame, ORV_PRESETS_TEST_OUTPUT "/preset-bar-window.png"));

  editor->close();
  EXPECT_EQ(editor->getNameField(), nullptr);
  EXPECT_EQ(editor->getPresetMenu(), nullptr);
  EXPECT_EQ(editor->getPresetRocker(), nullptr);
  EXPECT_FALSE(editor->isIdleTimerRunning());
  editor->presetNameChanged("Nobody shows this");  // no bar: nothing to touch
  ASSERT_TRUE(editor->open(&window));
  frame = editor->getFrame();
}

TEST_F(PresetBarTest, RockerStepsAndStaysAtBothEnds) {
  struct Case {
    int32_t from;
    CCoord x;  // left or right half of 313 .. 344
    int32_t to;
  };
  for (const Case& c : {Case{5, 340, 6}, Case{5, 316, 4}, Case{15, 340, 15}, Case{0, 316, 0}}) {
    SCOPED_TRACE(c.from);
    valdris.selectPreset(c.from);
    editor->idle();
    // Changed behind the preset's back: selecting it again applies the stored value.
    valdris.presetTable()[c.to].values[6] = 0.123f;
    click(c.x, 451);
    EXPECT_EQ(valdris.getPresetIndex(), c.to);
    EXPECT_FLOAT_EQ(valdris.getParameter(6), 0.123f);
    EXPECT_EQ(editor->getPresetMenu()->getCurrentIndex(), c.to);
    EXPECT_STREQ(editor->getNameField()->getText(), presetName(c.to).c_str());
    // Back at rest, showing the side under the mouse.
    CPSRockerSwitch* rocker = editor->getPresetRocker();
    EXPECT_FLOAT_EQ(rocker->getValue(), 0.0f);
    EXPECT_EQ(rocker->imageIndex(), c.x < 328 ? 1 : 2);
  }
}

TEST_F(PresetBarTest, MenuListsThePresetsAndChoosingOneSelectsIt) {
  valdris.selectPreset(2);
  editor->idle();  // the bar follows a selection made elsewhere
  EXPECT_EQ(editor->getPresetMenu()->getCurrentIndex(), 2);
  EXPECT_STREQ(editor->getNameField()->getText(), presetName(2).c_str());
  click(299, 451);
  COptionMenu* menu = editor->getPresetMenu();
  ASSERT_TRUE(menu->isPopupOpen());
  for (int i = 0; i < 5; ++i) key(test::virtualKey(VKEY_DOWN));
  key(test::virtualKey(VKEY_RETURN));
  EXPECT_FALSE(menu->isPopupOpen());
  EXPECT_EQ(valdris.getPresetIndex(), 7);
  EXPECT_EQ(menu->getCurrentIndex(), 7);
  EXPECT_STREQ(editor->getNameField()->getText(), presetName(7).c_str());
}

TEST_F(PresetBarTest, TypedNamesKeep24CharactersEverywhere) {
  valdris.selectPreset(4);
  editor->idle();
  click(230, 451);
  for (int i = 0; i < 12; ++i) key(test::virtualKey(VKEY_BACK));
  for (int i = 0; i < 40; ++i) key(test::virtualKey(VKEY_BACK));
  const std::string typed = "abcdefghijklmnopqrstuvwxyz0123";  // 30 characters
  for (char c : typed) key(test::character(c));
  key(test::virtualKey(VKEY_RETURN));
  const std::string kept = typed.substr(0, 24);
  EXPECT_EQ(editor->getNameField()->getText(), kept);
  EXPECT_EQ(editor->getPresetMenu()->getEntry(4)->getTitle(), kept);
  EXPECT_EQ(presetName(4), kept);

  // A rename by the host shows in the field and the menu.
  char hostName[] = "From the host";
  valdris.dispatcher(vst::effSetProgramName, 0, 0, hostName, 0);
  EXPECT_STREQ(editor->getNameField()->getText(), "From the host");
  EXPECT_STREQ(editor->getPresetMenu()->getEntry(4)->getTitle(), "From the host");
}

TEST_F(PresetBarTest, DefaultBankNeedsADoubleClickAndCtrlClearsIt) {
  const CCoord x = 50, y = 451;  // default bank: 32 .. 69
  click(x, y);
  EXPECT_FALSE(stored("DefaultBank")) << "a single click does nothing";
  click(x, y, kLButton | kDoubleClick);
  EXPECT_TRUE(stored("DefaultBank"));
  click(x, y, kLButton | kControl);
  EXPECT_TRUE(stored("DefaultBank")) << "Ctrl alone is still a single click";
  click(x, y, kLButton | kDoubleClick | kControl);
  EXPECT_FALSE(stored("DefaultBank"));

  // The default preset's button, and the memories with one click.
  click(120, y, kLButton | kDoubleClick);
  EXPECT_TRUE(stored("DefaultPreset"));
  click(358, y);
  EXPECT_TRUE(stored("MemoA"));
  EXPECT_FALSE(stored("MemoB"));
}

TEST_F(PresetBarTest, RightClickOnALoadButtonAsksForTheReversedByteOrder) {
  script().cancel = true;
  struct Case {
    CCoord x;
    int32_t buttons;
    const char* title;
  };
  const Case cases[] = {
      {156, kRButton, "Load preset (endian-reversed)"},
      {156, kRButton | kShift, "Load preset"},
      {156, kLButton, "Load preset"},
      {76, kRButton, "Load bank (endian-reversed)"},
      {76, kLButton, "Load bank"},
      {97, kRButton, "Save preset"},
      {26, kLButton, "Save bank"},
  };
  for (const Case& c : cases) {
    dialogsSeen().clear();
    click(c.x, 451, c.buttons);
    ASSERT_EQ(dialogsSeen().size(), 1u) << c.title;
    EXPECT_EQ(dialogsSeen()[0].title, c.title);
  }
}

TEST_F(PresetBarTest, LoadingABankShowsItsNamesInTheBar) {
  writeBytes(files_ / "bank.orb", bankRecord(kValdrisId));
  script().picks = {file("bank.orb")};
  valdris.selectPreset(9);
  click(76, 451);
  EXPECT_EQ(valdris.getPresetIndex(), 0);
  EXPECT_STREQ(editor->getNameField()->getText(), "Bank 0");
  EXPECT_EQ(editor->getPresetMenu()->getCurrentIndex(), 0);
  EXPECT_STREQ(editor->getPresetMenu()->getEntry(9)->getTitle(), "Bank 9");
}

}  // namespace
}  // namespace presets_test
