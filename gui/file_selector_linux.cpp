// The desktop's own file dialog: zenity (GNOME and most others) or kdialog
// (KDE), run as a child process while the editor waits, as a modal dialog
// does. With neither installed the dialog says so on stderr and cancels.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gui/file_selector.h"

extern char** environ;

namespace orv {

namespace {

std::string findOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start);
    if (!candidate.empty()) {
      candidate += '/';
      candidate += program;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return {};
}

bool isKde() {
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  return (desktop && std::strstr(desktop, "KDE")) || std::getenv("KDE_FULL_SESSION");
}

// Runs `argv` (no shell: paths pass through untouched) and returns its
// standard output; false when it could not run or did not exit with 0.
bool runCapture(const std::vector<std::string>& args, std::string& output) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    return false;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0) output.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR) break;
  }
  close(fds[0]);
  int status = 0;
  pid_t waited;
  do waited = waitpid(pid, &status, 0);
  while (waited < 0 && errno == EINTR);
  // A host that reaps children itself leaves us no status: trust the output.
  if (waited < 0) return !output.empty();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

class DesktopFileSelector : public CNewFileSelector {
 public:
  DesktopFileSelector(CFrame* parent, Style style) : CNewFileSelector(parent, style) {}

 protected:
  bool runModalInternal() override {
    const std::string zenity = findOnPath("zenity"), kdialog = findOnPath("kdialog");
    std::vector<std::string> args;
    if (!kdialog.empty() && (isKde() || zenity.empty())) args = kdialogArgs(kdialog);
    else if (!zenity.empty()) args = zenityArgs(zenity);
    else {
      std::fprintf(stderr, "Orv: cannot show a file dialog: install zenity or kdialog\n");
      return false;
    }
    std::string output;
    if (!runCapture(args, output)) return false;
    for (std::string& path : splitLines(output)) {
      if (path.empty() || path[0] != '/') continue;
      if (style == kSelectSaveFile) addDefaultExtension(path);
      selected.push_back(std::move(path));
      if (!multiple) break;
    }
    return !selected.empty();
  }

 private:
  std::string startPath() const {
    std::string path = initialDirectory;
    if (!path.empty() && path.back() != '/') path += '/';
    if (style == kSelectSaveFile) path += defaultSaveName;
    return path;
  }

  std::vector<CFileExtension> allExtensions() const {
    std::vector<CFileExtension> all;
    if (!defaultExtension.extension.empty()) all.push_back(defaultExtension);
    for (const CFileExtension& e : extensions)
      if (e.extension != defaultExtension.extension) all.push_back(e);
    return all;
  }

  std::vector<std::string> zenityArgs(const std::string& program) const {
    std::vector<std::string> a{program, "--file-selection"};
    if (!title.empty()) a.push_back("--title=" + title);
    if (style == kSelectSaveFile) {
      a.push_back("--save");
      a.push_back("--confirm-overwrite");
    } else if (multiple) {
      a.push_back("--multiple");
      a.push_back("--separator=\n");
    }
    const std::string start = startPath();
    if (!start.empty()) a.push_back("--filename=" + start);
    for (const CFileExtension& e : allExtensions())
      a.push_back("--file-filter=" + (e.description.empty() ? e.extension : e.description) + " | *." + e.extension);
    if (!allExtensions().empty()) a.push_back("--file-filter=All files | *");
    return a;
  }

  std::vector<std::string> kdialogArgs(const std::string& program) const {
    std::vector<std::string> a{program};
    if (!title.empty()) {
      a.push_back("--title");
      a.push_back(title);
    }
    if (style == kSelectSaveFile) a.push_back("--getsavefilename");
    else {
      if (multiple) {
        a.push_back("--multiple");
        a.push_back("--separate-output");
      }
      a.push_back("--getopenfilename");
    }
    const std::string start = startPath();
    a.push_back(start.empty() ? "." : start);
    std::string filter;
    for (const CFileExtension& e : allExtensions()) {
      if (!filter.empty()) filter += '\n';
      filter += "*." + e.extension + '|' + (e.description.empty() ? e.extension : e.description);
    }
    if (!filter.empty()) a.push_back(filter);
    return a;
  }

  // A name typed without the extension gets the default one, as users expect.
  void addDefaultExtension(std::string& path) const {
    const std::string& ext = defaultExtension.extension;
    if (ext.empty()) return;
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return;
    path += '.' + ext;
  }
};

}  // namespace

std::unique_ptr<CNewFileSelector> createPlatformFileSelector(CFrame* parent, CNewFileSelector::Style style) {
  return std::unique_ptr<CNewFileSelector>(new DesktopFileSelector(parent, style));
}

}  // namespace orv
