#include <windows.h>

#include <string>

#include "platform/message_box.h"
#include "platform/text_win32.h"

namespace orv::platform {

void showMessageBox(const char* text, const char* title) {
  std::wstring wideText, wideTitle;
  if (!toWide(text ? text : "", wideText) || !toWide(title ? title : "", wideTitle)) return;
  // No owner: the host's windows are not ours to disable.
  MessageBoxW(nullptr, wideText.c_str(), wideTitle.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace orv::platform
