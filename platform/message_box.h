// The one message the user ever sees: the allocation failure at construction.
#pragma once

namespace orv::platform {

// Shows an OK-only message with no owner window. On Linux there is no
// toolkit to borrow, so the message goes to stderr.
void showMessageBox(const char* text, const char* title);

}  // namespace orv::platform
