#include "gui/aeffguieditor.h"

namespace orv {

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect) {
  if (effect) effect->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor() {
  if (frame) {
    CFrame* f = frame;
    frame = nullptr;
    f->close();
  }
}

bool AEffGUIEditor::getRect(vst::ERect** r) {
  if (!r) return false;
  *r = &rect;
  return true;
}

bool AEffGUIEditor::open(void* window) {
  systemWindow = window;
  return true;
}

void AEffGUIEditor::close() { systemWindow = nullptr; }

void AEffGUIEditor::idle() {
  if (frame) frame->idle();
}

bool AEffGUIEditor::onKeyDown(vst::VstKeyCode& key) { return frame && frame->platformOnKeyDown(key); }

bool AEffGUIEditor::onKeyUp(vst::VstKeyCode& key) { return frame && frame->platformOnKeyUp(key); }

bool AEffGUIEditor::onWheel(float distance) {
  return frame && frame->platformOnWheel(frame->getCurrentMouseLocation(), distance, frame->getCurrentMouseButtons());
}

bool AEffGUIEditor::setKnobMode(int32_t mode) {
  knobMode = mode;
  return true;
}

void AEffGUIEditor::beginEdit(int32_t index) {
  auto* fx = dynamic_cast<AudioEffectX*>(effect);
  if (fx && index >= 0 && index < fx->getAeffect()->numParams) fx->beginEdit(index);
}

void AEffGUIEditor::endEdit(int32_t index) {
  auto* fx = dynamic_cast<AudioEffectX*>(effect);
  if (fx && index >= 0 && index < fx->getAeffect()->numParams) fx->endEdit(index);
}

}  // namespace orv
