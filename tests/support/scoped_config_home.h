// Gives the tests a private, empty store for as long as it lives, so instances
// read and write their stored settings there and never in the user's own.
//
// POSIX: HOME and XDG_CONFIG_HOME point at a fresh temporary folder.
// Windows: a fresh key below HKEY_CURRENT_USER stands in for the whole of
// HKEY_CURRENT_USER in this process (RegOverridePredefKey), which covers a
// plug-in DLL loaded into the process as well.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

namespace orv::testing {

#ifdef _WIN32
class ScopedConfigHome {
 public:
  ScopedConfigHome() {
    static std::atomic<int> serial{0};
    key_ = std::wstring(kParent) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(serial++);
    RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
    HKEY root = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &root, nullptr) != ERROR_SUCCESS)
      return;
    ok_ = RegOverridePredefKey(HKEY_CURRENT_USER, root) == ERROR_SUCCESS;
    RegCloseKey(root);  // the override holds its own handle
  }
  ~ScopedConfigHome() {
    if (ok_) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kParent);  // only once no other test's key is left
  }
  ScopedConfigHome(const ScopedConfigHome&) = delete;
  ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;

  bool ok() const { return ok_; }

 private:
  static constexpr const wchar_t* kParent = L"Software\\Orv-acoustics-tests";
  std::wstring key_;
  bool ok_ = false;
};
#else
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
#endif

}  // namespace orv::testing
