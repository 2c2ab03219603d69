// Per-user persistent key/value store with the shape of the Windows registry
// under HKEY_CURRENT_USER. Keys are backslash-separated paths such as
// "SOFTWARE\Orv-acoustics\Kolvane20"; values are typed byte strings.
//
// Every failure is silent: an operation that cannot be done returns false (or
// an invalid key) and changes nothing. A value that is missing, unreadable,
// of another type or larger than the caller's buffer reads as missing.
// Writes are atomic: a reader sees either the old or the new value, never a
// mix, even across processes.
//
// On POSIX the keys are folders under the user's configuration folder and
// names are case-sensitive (on Windows they are not): spell each name the
// same way everywhere. An empty value name is the key's unnamed value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orv::platform {

enum class RegType : uint32_t {
  string = 1,  // REG_SZ: UTF-16LE text including its terminator
  binary = 3,  // REG_BINARY
};

class RegistryKey {
 public:
  RegistryKey();
  ~RegistryKey();
  RegistryKey(RegistryKey&&) noexcept;
  RegistryKey& operator=(RegistryKey&&) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens an existing key for reading; invalid when it does not exist.
  static RegistryKey open(std::string_view path);
  // Opens a key for writing, creating it (and its parents) when missing.
  static RegistryKey create(std::string_view path);

  explicit operator bool() const { return impl_ != nullptr; }

  // Reads value `name` of the given type into data[0..size). On entry size is
  // the capacity; on success it is the number of bytes stored. On failure
  // neither data nor size changes.
  bool query(std::string_view name, RegType type, void* data, uint32_t& size) const;
  bool set(std::string_view name, RegType type, const void* data, uint32_t size);
  bool remove(std::string_view name);

  // String values as 8-bit text in the platform's encoding of file paths;
  // stored as UTF-16 with a terminator, as on Windows. A value that is
  // missing, not a string, not convertible or longer than maxLength bytes
  // once converted reads as missing, and `text` is left as it was.
  bool queryString(std::string_view name, std::string& text, size_t maxLength) const;
  bool setString(std::string_view name, std::string_view text);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orv::platform
