// The current user's registry as a folder tree:
//
//   ${XDG_CONFIG_HOME:-$HOME/.config}/Orv-acoustics/registry/HKEY_CURRENT_USER/<key components>/
//
// Each backslash-separated key component is one folder; each value is one
// file "<name>.value" in its key's folder ("@.value" for the unnamed default
// value). Key components and value names are escaped byte by byte: anything
// but [A-Za-z0-9_-] becomes "%XX" (upper-case hex), so no name can contain
// "/" or be "." or "..", and since "." never survives escaping, a value file
// can never collide with a subkey folder or with a temporary file (".tmp-*").
// Names are case-sensitive here, unlike on Windows: callers always spell a
// name the same way, and folding case in file names would need a lookup by
// listing the folder.
//
// A value file is a 16-byte header and the data:
//   0  "OREG"
//   4  type, uint32 little-endian (RegType)
//   8  data size in bytes, uint32 little-endian
//   12 FNV-1a 32-bit hash of the data, little-endian
//   16 data
// A file whose length, magic or hash disagrees reads as missing.
//
// Writes go to a temporary file in the same folder, are fsync'ed and then
// renamed over the value file, so a reader (in any process) sees the old or
// the new value whole. The fsync costs a few milliseconds per write, and
// writes happen only when an editor or instance closes; without it a power
// loss right after the rename can leave an empty file on some file systems,
// losing the old value as well as the new one. A writer killed between the
// two leaves its temporary file behind; the next write to the key removes
// temporaries older than a minute (younger ones may belong to a writer still
// at work in another process).
#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace orv::platform {

struct RegistryKey::Impl {
  std::string folder;  // absolute, no trailing slash
};

namespace {

constexpr char kMagic[4] = {'O', 'R', 'E', 'G'};
constexpr size_t kHeaderSize = 16;
constexpr size_t kMaxFileName = 255;

bool isAbsolute(const char* p) { return p != nullptr && p[0] == '/'; }

// Read at every open/create so a changed environment takes effect at once.
bool configRoot(std::string& root) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (isAbsolute(xdg)) {
    root = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!isAbsolute(home)) return false;
    root = home;
    root += "/.config";
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  root += "/Orv-acoustics/registry/HKEY_CURRENT_USER";
  return true;
}

bool plainChar(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

void appendEscaped(std::string& out, std::string_view name) {
  static constexpr char hex[] = "0123456789ABCDEF";
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (plainChar(c)) {
      out += ch;
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
}

bool keyFolder(std::string_view path, std::string& folder) {
  if (path.empty() || !configRoot(folder)) return false;
  size_t start = 0;
  while (true) {
    const size_t end = path.find('\\', start);
    const std::string_view part = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty() || part == "." || part == "..") return false;
    folder += '/';
    appendEscaped(folder, part);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

bool valueFile(const std::string& folder, std::string_view name, std::string& file) {
  std::string leaf;
  if (name.empty()) {
    leaf = "@";
  } else {
    appendEscaped(leaf, name);
  }
  leaf += ".value";
  if (leaf.size() > kMaxFileName) return false;
  file = folder;
  file += '/';
  file += leaf;
  return true;
}

bool isFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p; folders we make are private to the user.
bool makeFolders(const std::string& path) {
  if (isFolder(path)) return true;
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return isFolder(path);
}

uint32_t hashBytes(const uint8_t* p, size_t n) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

void putU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t getU32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Close explicitly when the result matters (delayed write errors).
  bool closeChecked() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

bool readAll(int fd, uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t got = read(fd, p, n);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

bool writeAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t put = write(fd, p, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

bool readValue(const std::string& file, RegType type, void* data, uint32_t& size) {
  Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (fd.get() < 0) return false;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const auto fileSize = static_cast<uint64_t>(st.st_size);
  if (fileSize < kHeaderSize) return false;

  uint8_t header[kHeaderSize];
  if (!readAll(fd.get(), header, kHeaderSize)) return false;
  if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return false;
  const uint32_t length = getU32(header + 8);
  if (getU32(header + 4) != static_cast<uint32_t>(type)) return false;
  if (fileSize != kHeaderSize + uint64_t{length}) return false;
  if (length > size || (length > 0 && data == nullptr)) return false;

  // Read into a scratch buffer so a failure leaves the caller's untouched.
  std::vector<uint8_t> bytes(length);
  if (!readAll(fd.get(), bytes.data(), length)) return false;
  if (hashBytes(bytes.data(), length) != getU32(header + 12)) return false;
  if (length > 0) std::memcpy(data, bytes.data(), length);
  size = length;
  return true;
}

constexpr char kTempPrefix[] = ".tmp-";
constexpr time_t kStaleSeconds = 60;

void removeStaleTemporaries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  const time_t now = time(nullptr);
  while (const dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, kTempPrefix, sizeof kTempPrefix - 1) != 0) continue;
    struct stat st {};
    if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now - st.st_mtime > kStaleSeconds) unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

bool writeValue(const std::string& folder, const std::string& file, RegType type, const void* data, uint32_t size) {
  if (size > 0 && data == nullptr) return false;
  std::vector<uint8_t> bytes(kHeaderSize + size_t{size});
  std::memcpy(bytes.data(), kMagic, sizeof kMagic);
  putU32(bytes.data() + 4, static_cast<uint32_t>(type));
  putU32(bytes.data() + 8, size);
  if (size > 0) std::memcpy(bytes.data() + kHeaderSize, data, size);
  putU32(bytes.data() + 12, hashBytes(bytes.data() + kHeaderSize, size));

  removeStaleTemporaries(folder);
  // mkostemp makes the name unique across processes and threads (O_EXCL).
  std::string temp = folder + "/" + kTempPrefix + "XXXXXX";
  Fd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  const bool ok = writeAll(fd.get(), bytes.data(), bytes.size()) && fsync(fd.get()) == 0 && fd.closeChecked() &&
                  rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;

RegistryKey RegistryKey::open(std::string_view path) {
  RegistryKey key;
  try {
    std::string folder;
    if (keyFolder(path, folder) && isFolder(folder)) key.impl_ = std::make_unique<Impl>(Impl{std::move(folder)});
  } catch (...) {
    key.impl_.reset();
  }
  return key;
}

RegistryKey RegistryKey::create(std::string_view path) {
  RegistryKey key;
  try {
    std::string folder;
    if (keyFolder(path, folder) && makeFolders(folder)) key.impl_ = std::make_unique<Impl>(Impl{std::move(folder)});
  } catch (...) {
    key.impl_.reset();
  }
  return key;
}

bool RegistryKey::query(std::string_view name, RegType type, void* data, uint32_t& size) const {
  if (!impl_) return false;
  try {
    std::string file;
    return valueFile(impl_->folder, name, file) && readValue(file, type, data, size);
  } catch (...) {
    return false;
  }
}

bool RegistryKey::set(std::string_view name, RegType type, const void* data, uint32_t size) {
  if (!impl_) return false;
  try {
    std::string file;
    return valueFile(impl_->folder, name, file) && writeValue(impl_->folder, file, type, data, size);
  } catch (...) {
    return false;
  }
}

bool RegistryKey::remove(std::string_view name) {
  if (!impl_) return false;
  try {
    std::string file;
    return valueFile(impl_->folder, name, file) && unlink(file.c_str()) == 0;
  } catch (...) {
    return false;
  }
}

}  // namespace orv::platform
