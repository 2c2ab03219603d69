// Bitmaps built into the plug-in module, found by their numeric identifier.
// Each product's module carries its own editor bitmaps and the preset bar's;
// nothing is read from files beside the module.
#pragma once

#include <cstddef>

namespace orv {

struct Resource {
  const unsigned char* data;  // a complete PNG file
  std::size_t size;           // bytes of `data`
  int width, height;          // pixels of the whole bitmap
  int subImages;              // sub-images stacked top to bottom (1 for a plain bitmap)
};

// The bitmap with identifier `id` in this module, or null if there is none.
const Resource* findResource(int id);

}  // namespace orv
