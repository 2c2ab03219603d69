// The tables behind findResource, written by the artwork generator, and the
// compile-time check each generated table runs against required_bitmaps.h.
#pragma once

#include <cstddef>
#include <span>

#include "resources/required_bitmaps.h"
#include "resources/resource.h"

namespace orv::resources {

struct ResourceEntry {
  int id;
  Resource resource;
};

// This product's own bitmaps and the shared preset bar's; each module links
// exactly one product table.
std::span<const ResourceEntry> productResources();
std::span<const ResourceEntry> presetBarResources();

// Deliberately not constexpr: reached while checking a table, it turns a
// missing, extra or mis-sized bitmap into a compile error. (The generator
// names the bitmap in plain words before the compiler gets there.)
void bitmapMissingOrMisSized(int id);

// True when `entries` holds exactly the bitmaps of `required`, each with the
// listed size and sub-image count; otherwise not a constant expression.
template <std::size_t N, std::size_t M>
constexpr bool matchesRequired(const ResourceEntry (&entries)[N], const RequiredBitmap (&required)[M]) {
  for (const RequiredBitmap& need : required) {
    bool found = false;
    for (const ResourceEntry& e : entries)
      if (e.id == need.id && e.resource.width == need.width && e.resource.height == need.height &&
          e.resource.subImages == need.subImages && e.resource.size > 0)
        found = true;
    if (!found) bitmapMissingOrMisSized(need.id);
  }
  for (const ResourceEntry& e : entries) {
    bool listed = false;
    for (const RequiredBitmap& need : required) listed = listed || need.id == e.id;
    if (!listed) bitmapMissingOrMisSized(e.id);
  }
  return true;
}

}  // namespace orv::resources
