#include <cstdio>

#include "platform/message_box.h"

namespace orv::platform {

void showMessageBox(const char* text, const char* title) {
  std::fprintf(stderr, "%s: %s\n", title ? title : "", text ? text : "");
  std::fflush(stderr);
}

}  // namespace orv::platform
