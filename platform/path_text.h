// File paths are 8-bit text; the registry keeps text as UTF-16. On POSIX the
// 8-bit side is UTF-8, and bytes that are not valid UTF-8 (a path may hold
// any bytes but "/" and NUL) travel as the lone surrogates U+DC80..U+DCFF,
// so every path comes back byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace orv::platform {

// Never fails for text without NUL bytes; false (out unchanged) otherwise.
bool pathToUtf16(std::string_view text, std::u16string& out);
// False (out unchanged) for NUL units or surrogates that encode nothing.
bool pathFromUtf16(std::u16string_view text, std::string& out);

}  // namespace orv::platform
