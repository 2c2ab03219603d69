// What the views need from the editor that owns their frame: the host's knob
// mode and the begin/end of a user's edit of a parameter.
#pragma once

#include <cstdint>

namespace orv {

class CFrame;

enum CKnobMode : int32_t { kCircularMode = 0, kRelativCircularMode = 1, kLinearMode = 2 };

class VSTGUIEditorInterface {
 public:
  virtual ~VSTGUIEditorInterface() = default;
  virtual void beginEdit(int32_t /*index*/) {}
  virtual void endEdit(int32_t /*index*/) {}
  virtual int32_t getKnobMode() const { return kCircularMode; }
  virtual CFrame* getFrame() const { return nullptr; }
};

}  // namespace orv
