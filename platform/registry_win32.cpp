// The current user's registry: keys under HKEY_CURRENT_USER, values typed as
// RegType says (its numbers are the REG_* type codes). Names are UTF-8 here
// and UTF-16 in the registry; Windows compares them without regard to case.
//
// A key from open() holds query access only; set() and remove() on it open
// the key again with set-value access, so reading never asks for more rights
// than it needs. RegSetValueExW replaces a value whole, which makes writes
// atomic for readers in any process. Every value operation goes through
// readValue, writeValue (with WritableKey) or RegDeleteValueW below.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text_win32.h"

namespace orv::platform {

namespace {

struct OpenKey {
  HKEY handle = nullptr;
  REGSAM access = 0;
  std::wstring path;

  OpenKey() = default;
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() {
    if (handle != nullptr) RegCloseKey(handle);
  }
};

}  // namespace

struct RegistryKey::Impl : OpenKey {};

namespace {

// Backslash-separated components, none empty; "." and ".." have no meaning
// in registry paths either, so they are refused as on POSIX.
bool validPath(std::string_view path) {
  if (path.empty()) return false;
  size_t start = 0;
  while (true) {
    const size_t end = path.find('\\', start);
    const std::string_view part = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

// Opens (or creates) the key into `impl`; false when that fails.
bool openKey(std::string_view path, bool createMissing, OpenKey* impl) {
  if (!validPath(path) || !toWide(path, impl->path)) return false;
  LSTATUS status;
  if (createMissing) {
    impl->access = KEY_QUERY_VALUE | KEY_SET_VALUE;
    status = RegCreateKeyExW(HKEY_CURRENT_USER, impl->path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             impl->access, nullptr, &impl->handle, nullptr);
  } else {
    impl->access = KEY_QUERY_VALUE;
    status = RegOpenKeyExW(HKEY_CURRENT_USER, impl->path.c_str(), 0, impl->access, &impl->handle);
  }
  if (status != ERROR_SUCCESS) {
    impl->handle = nullptr;
    return false;
  }
  return true;
}

// A handle with set-value access to the same key: the key's own, or a new one
// the caller closes.
HKEY writableHandle(const OpenKey& impl, bool& opened) {
  opened = false;
  if ((impl.access & KEY_SET_VALUE) != 0) return impl.handle;
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, impl.path.c_str(), 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return nullptr;
  opened = true;
  return h;
}

class WritableKey {
 public:
  explicit WritableKey(const OpenKey& impl) : handle_(writableHandle(impl, owned_)) {}
  ~WritableKey() {
    if (owned_) RegCloseKey(handle_);
  }
  WritableKey(const WritableKey&) = delete;
  WritableKey& operator=(const WritableKey&) = delete;
  HKEY get() const { return handle_; }

 private:
  bool owned_ = false;
  HKEY handle_;
};

// Value name `name` of type `type` into data[0..size); size becomes the
// length read. A value of another type, or one that does not fit, reads as
// missing, and a failure leaves data and size as they were.
bool readValue(HKEY key, const std::wstring& name, DWORD type, void* data, uint32_t& size) {
  DWORD storedType = 0;
  DWORD length = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &storedType, nullptr, &length) != ERROR_SUCCESS) return false;
  if (storedType != type || length > size || (length > 0 && data == nullptr)) return false;
  // Into a scratch buffer: the value may change between the two calls, and a
  // failed read leaves the buffer undefined.
  std::vector<BYTE> bytes(length > 0 ? length : 1);
  DWORD got = length;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &storedType, bytes.data(), &got) != ERROR_SUCCESS) return false;
  if (storedType != type || got > size) return false;
  if (got > 0) std::memcpy(data, bytes.data(), got);
  size = got;
  return true;
}

bool writeValue(HKEY key, const std::wstring& name, DWORD type, const void* data, uint32_t size) {
  const BYTE empty = 0;
  const BYTE* bytes = size > 0 ? static_cast<const BYTE*>(data) : &empty;
  return RegSetValueExW(key, name.c_str(), 0, type, bytes, size) == ERROR_SUCCESS;
}

}  // namespace

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;

RegistryKey RegistryKey::open(std::string_view path) {
  RegistryKey key;
  try {
    auto impl = std::make_unique<Impl>();
    if (openKey(path, false, impl.get())) key.impl_ = std::move(impl);
  } catch (...) {
    key.impl_.reset();
  }
  return key;
}

RegistryKey RegistryKey::create(std::string_view path) {
  RegistryKey key;
  try {
    auto impl = std::make_unique<Impl>();
    if (openKey(path, true, impl.get())) key.impl_ = std::move(impl);
  } catch (...) {
    key.impl_.reset();
  }
  return key;
}

bool RegistryKey::query(std::string_view name, RegType type, void* data, uint32_t& size) const {
  if (!impl_) return false;
  try {
    std::wstring wideName;
    return toWide(name, wideName) && readValue(impl_->handle, wideName, static_cast<DWORD>(type), data, size);
  } catch (...) {
    return false;
  }
}

bool RegistryKey::set(std::string_view name, RegType type, const void* data, uint32_t size) {
  if (!impl_ || (size > 0 && data == nullptr)) return false;
  try {
    std::wstring wideName;
    if (!toWide(name, wideName)) return false;
    const WritableKey key(*impl_);
    return key.get() != nullptr && writeValue(key.get(), wideName, static_cast<DWORD>(type), data, size);
  } catch (...) {
    return false;
  }
}

bool RegistryKey::remove(std::string_view name) {
  if (!impl_) return false;
  try {
    std::wstring wideName;
    if (!toWide(name, wideName)) return false;
    const WritableKey key(*impl_);
    return key.get() != nullptr && RegDeleteValueW(key.get(), wideName.c_str()) == ERROR_SUCCESS;
  } catch (...) {
    return false;
  }
}

}  // namespace orv::platform
