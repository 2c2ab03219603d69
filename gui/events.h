// Mouse buttons, modifiers and the answers views give to mouse events, plus
// the key codes of the VST 2.4 editor interface.
#pragma once

#include <cstdint>

namespace orv {

enum CButton : int32_t {
  kLButton = 1 << 0,
  kMButton = 1 << 1,
  kRButton = 1 << 2,
  kShift = 1 << 3,
  kControl = 1 << 4,
  kAlt = 1 << 5,
  kDoubleClick = 1 << 6,
};

class CButtonState {
 public:
  constexpr CButtonState(int32_t state = 0) : state(state) {}
  constexpr operator int32_t() const { return state; }
  constexpr int32_t getButtonState() const { return state & (kLButton | kMButton | kRButton); }
  constexpr int32_t getModifierState() const { return state & (kShift | kControl | kAlt); }
  constexpr bool isLeftButton() const { return (state & kLButton) != 0; }
  constexpr bool isRightButton() const { return (state & kRButton) != 0; }
  constexpr bool isDoubleClick() const { return (state & kDoubleClick) != 0; }
  constexpr bool operator==(const CButtonState& o) const { return state == o.state; }
  CButtonState& operator|=(int32_t bits) { state |= bits; return *this; }

 private:
  int32_t state;
};

enum CMouseEventResult {
  kMouseEventNotImplemented = 0,
  kMouseEventHandled,
  kMouseEventNotHandled,
  // The press was handled and the view wants no moved or up events of it.
  kMouseDownEventHandledButDontNeedMovedOrUpEvents,
  kMouseMoveEventHandledButDontNeedMoreEvents,
};

// Virtual keys of VstKeyCode::virt, in the values hosts send with effEditKeyDown.
enum VstVirtualKey : unsigned char {
  VKEY_BACK = 1, VKEY_TAB, VKEY_CLEAR, VKEY_RETURN, VKEY_PAUSE, VKEY_ESCAPE, VKEY_SPACE, VKEY_NEXT,
  VKEY_END, VKEY_HOME, VKEY_LEFT, VKEY_UP, VKEY_RIGHT, VKEY_DOWN, VKEY_PAGEUP, VKEY_PAGEDOWN,
  VKEY_SELECT, VKEY_PRINT, VKEY_ENTER, VKEY_SNAPSHOT, VKEY_INSERT, VKEY_DELETE, VKEY_HELP,
};

// Modifier bits of VstKeyCode::modifier.
enum VstModifierKey : unsigned char {
  MODIFIER_SHIFT = 1 << 0,
  MODIFIER_ALTERNATE = 1 << 1,
  MODIFIER_COMMAND = 1 << 2,
  MODIFIER_CONTROL = 1 << 3,
};

}  // namespace orv
