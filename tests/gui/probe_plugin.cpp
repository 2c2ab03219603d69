// A plug-in module with a small editor on the GUI layer, loaded by the X11
// tests as a host loads the products: one parameter, a knob for it and a
// text field. It shows the layer inside a module that exports only the
// entry points.
#include <new>

#include "gui/vstgui.h"
#include "host/entry.h"

namespace orv {
namespace {

class ProbeEditor;

class ProbeEffect : public AudioEffectX {
 public:
  explicit ProbeEffect(vst::HostCallback host);
  void setParameter(int32_t index, float v) override {
    if (index == 0) value = v;
    if (editor) editor->setParameter(index, v);
  }
  float getParameter(int32_t index) override { return index == 0 ? value : 0.0f; }

 private:
  float value = 0.25f;
};

class ProbeEditor : public AEffGUIEditor, public CControlListener {
 public:
  explicit ProbeEditor(AudioEffect* effect) : AEffGUIEditor(effect) {
    rect.right = 200;
    rect.bottom = 100;
  }
  bool open(void* window) override {
    AEffGUIEditor::open(window);
    frame = new CFrame(CRect(0, 0, rect.right, rect.bottom), window, this);
    if (!frame->isOpen()) {
      frame->close();
      frame = nullptr;
      return false;
    }
    frame->setBackgroundColor(MakeCColor(40, 40, 48));
    knob = new CKnob(CRect(10, 10, 60, 60), this, 0, nullptr);
    knob->setValue(effect->getParameter(0));
    frame->addView(knob);
    auto* field = new CTextEdit(CRect(80, 30, 180, 50), this, 41, "probe");
    field->setBackColor(kWhiteCColor);
    field->setFontColor(kBlackCColor);
    frame->addView(field);
    return true;
  }
  void close() override {
    AEffGUIEditor::close();
    knob = nullptr;
    if (frame) frame->close();
    frame = nullptr;
  }
  void setParameter(int32_t index, float v) override {
    if (index == 0 && knob) knob->setValue(v);
  }
  void valueChanged(CControl* control) override {
    if (control->getTag() == 0) effect->setParameterAutomated(0, control->getValue());
  }

 private:
  CKnob* knob = nullptr;
};

ProbeEffect::ProbeEffect(vst::HostCallback host) : AudioEffectX(host, 1, 1) {
  setNumInputs(2);
  setNumOutputs(2);
  setUniqueID(vst::fourCC('O', 'g', 'u', 'i'));
  new ProbeEditor(this);  // attaches itself; the effect deletes it
}

}  // namespace

AudioEffect* createEffectInstance(vst::HostCallback host) { return new (std::nothrow) ProbeEffect(host); }

}  // namespace orv
