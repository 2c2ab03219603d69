// Loading a module and finding its symbols: dlopen on POSIX, LoadLibrary on
// Windows. The rest of the test host is the same on both.
#pragma once

#include <string>

namespace orv::vsthost::dynamic {

// Null with *error set when the file cannot be loaded.
void* load(const std::string& path, std::string* error);
void* symbol(void* handle, const char* name);
void unload(void* handle);

}  // namespace orv::vsthost::dynamic
