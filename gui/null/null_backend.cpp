// The backend of a build with no window system of ours yet (the Windows
// DLLs until their Win32 backend exists): the editor's classes link and run,
// but no window opens, no bitmap loads and no dialog shows, so hosts get
// "no editor" answers rather than a broken window.
#include <memory>
#include <string>

#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/file_selector.h"
#include "gui/font.h"
#include "gui/platform_frame.h"

namespace orv {

std::unique_ptr<IPlatformBitmap> IPlatformBitmap::fromPng(const void*, size_t) { return nullptr; }
std::unique_ptr<IPlatformBitmap> IPlatformBitmap::fromArgb(int, int, const uint32_t*) { return nullptr; }
std::unique_ptr<IPlatformFrame> createDefaultPlatformFrame(CFrame*, void*) { return nullptr; }
std::unique_ptr<CNewFileSelector> createPlatformFileSelector(CFrame*, CNewFileSelector::Style) { return nullptr; }
// No fonts to measure with: a rough width keeps layouts sane.
CCoord CDrawContext::measureString(const CFontDesc& font, const char* text) {
  return text ? 0.55 * font.getSize() * static_cast<CCoord>(std::char_traits<char>::length(text)) : 0;
}
std::string CFontDesc::getResolvedFamily() const { return getName(); }

}  // namespace orv
