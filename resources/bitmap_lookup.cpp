// Bitmaps made by number (CBitmap(19000)) come from this module's table.
// Registered while the module loads, so every editor finds them without a
// call of its own.
#include "gui/bitmap.h"
#include "resources/resource.h"

namespace orv {

namespace {

PngData embeddedPng(int32_t id) {
  const Resource* r = findResource(id);
  return r ? PngData{r->data, r->size} : PngData{};
}

[[maybe_unused]] const bool registered = (CBitmap::setResourceLookup(&embeddedPng), true);

}  // namespace

}  // namespace orv
