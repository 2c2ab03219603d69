// UTF-8 to UTF-16 for the wide-character Win32 calls.
#pragma once

#include <string>
#include <string_view>

namespace orv::platform {

// False for text that is not valid UTF-8 (or on allocation failure).
bool toWide(std::string_view utf8, std::wstring& wide);

}  // namespace orv::platform
