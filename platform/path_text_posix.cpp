#include <filesystem>
#include <system_error>

#include "platform/path_text.h"

namespace orv::platform {

std::FILE* openFile(const char* path, const char* mode) { return std::fopen(path, mode); }

bool currentDirectory(std::string& out) {
  try {
    std::error_code error;
    std::string text = std::filesystem::current_path(error).string();
    if (error) return false;
    out = std::move(text);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace orv::platform
