// File paths are 8-bit text; the registry (and every wide Win32 call) keeps
// text as UTF-16. On every platform the 8-bit side is UTF-8, as everywhere
// else in the Windows build. Bytes that are not valid UTF-8 (a POSIX path may
// hold any bytes but "/" and NUL) travel as the lone surrogates
// U+DC80..U+DCFF, so every path comes back byte for byte.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace orv::platform {

// Never fails for text without NUL bytes; false (out unchanged) otherwise.
bool pathToUtf16(std::string_view text, std::u16string& out);
// False (out unchanged) for NUL units or surrogates that encode nothing.
bool pathFromUtf16(std::u16string_view text, std::string& out);

// std::fopen for a path in the encoding above: on Windows through the wide
// call, since the narrow one reads the path in the ANSI code page.
std::FILE* openFile(const char* path, const char* mode);
// The working directory in the encoding above; false when it cannot be read.
bool currentDirectory(std::string& out);

}  // namespace orv::platform
