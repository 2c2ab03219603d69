// Generated bitmaps and recording listeners for the GUI tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gui/vstgui.h"

namespace orv::test {

// A film strip of `images` images of w × h, image i filled with colours[i].
inline CBitmap* makeStrip(int w, int h, const std::vector<uint32_t>& colours) {
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h * colours.size());
  for (size_t i = 0; i < colours.size(); ++i)
    std::fill(pixels.begin() + static_cast<std::ptrdiff_t>(i * w * h),
              pixels.begin() + static_cast<std::ptrdiff_t>((i + 1) * w * h), colours[i]);
  return new CBitmap(w, h * static_cast<int>(colours.size()), pixels.data());
}

inline uint32_t argb(const CColor& c) {
  return (uint32_t{c.alpha} << 24) | (uint32_t{c.red} << 16) | (uint32_t{c.green} << 8) | c.blue;
}

struct RecordingListener : CControlListener {
  struct Change {
    int32_t tag;
    float value;
  };
  std::vector<Change> changes;
  std::vector<std::string> texts;  // text of a CTextEdit at each change
  int begins = 0, ends = 0;
  void valueChanged(CControl* control) override {
    changes.push_back({control->getTag(), control->getValue()});
    if (auto* edit = dynamic_cast<CTextEdit*>(control)) texts.emplace_back(edit->getText());
  }
  void controlBeginEdit(CControl*) override { ++begins; }
  void controlEndEdit(CControl*) override { ++ends; }
};

struct RecordingEditor : VSTGUIEditorInterface {
  int32_t knobMode = kCircularMode;
  std::vector<int32_t> begun, ended;
  void beginEdit(int32_t index) override { begun.push_back(index); }
  void endEdit(int32_t index) override { ended.push_back(index); }
  int32_t getKnobMode() const override { return knobMode; }
};

inline vst::VstKeyCode character(char c) {
  vst::VstKeyCode k{};
  k.character = static_cast<unsigned char>(c);
  return k;
}

inline vst::VstKeyCode virtualKey(unsigned char virt, unsigned char modifier = 0) {
  vst::VstKeyCode k{};
  k.virt = virt;
  k.modifier = modifier;
  return k;
}

}  // namespace orv::test
