// The VST 2.4 editor on our GUI layer: answers the host's editor opcodes,
// owns the frame pointer the product's editor creates in open, passes key
// events to it, drives it from effEditIdle, and forwards a user's edits to
// the host as begin/end edit.
#pragma once

#include "gui/editor_interface.h"
#include "gui/frame.h"
#include "host/audio_effect.h"

namespace orv {

class AEffGUIEditor : public AEffEditor, public VSTGUIEditorInterface {
 public:
  explicit AEffGUIEditor(AudioEffect* effect);
  // Closes a frame the product left open.
  ~AEffGUIEditor() override;

  // The rectangle the product set in `rect`.
  bool getRect(vst::ERect** rect) override;
  // Stores the host window; the product creates its frame on it afterwards.
  bool open(void* window) override;
  // Forgets the host window. The product closes its frame itself: it must
  // release what it holds outside the frame first.
  void close() override;
  // Pumps the window's events, fires due timers and redraws what is dirty.
  void idle() override;
  bool onKeyDown(vst::VstKeyCode& key) override;
  bool onKeyUp(vst::VstKeyCode& key) override;
  // A wheel step from the host, sent to the view under the mouse.
  bool onWheel(float distance) override;
  // The host's knob mode (circular 0, relative circular 1, linear 2), kept per editor.
  bool setKnobMode(int32_t mode) override;
  int32_t getKnobMode() const override { return knobMode; }

  // Tells the host the user starts or ends changing a parameter; tags that
  // are no host parameter (value fields, page switches) are not passed on.
  void beginEdit(int32_t index) override;
  void endEdit(int32_t index) override;
  CFrame* getFrame() const override { return frame; }

 protected:
  vst::ERect rect{};
  CFrame* frame = nullptr;
  int32_t knobMode = kCircularMode;
};

}  // namespace orv
