// Points HOME and XDG_CONFIG_HOME at a fresh temporary folder for as long as
// it lives, so instances read and write their stored settings there and never
// in the user's own folder.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace orv::testing {

class ScopedConfigHome {
 public:
  ScopedConfigHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orv-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    home_ = pattern;
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ / ".config").c_str(), 1);
  }
  ~ScopedConfigHome() {
    std::error_code ignored;
    if (!home_.empty()) std::filesystem::remove_all(home_, ignored);
  }
  ScopedConfigHome(const ScopedConfigHome&) = delete;
  ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;

  bool ok() const { return !home_.empty(); }
  const std::filesystem::path& path() const { return home_; }

 private:
  std::filesystem::path home_;
};

}  // namespace orv::testing
