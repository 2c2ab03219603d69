#include "resources/resource.h"

#include "resources/resource_table.h"

namespace orv {

const Resource* findResource(int id) {
  for (auto table : {resources::productResources(), resources::presetBarResources()})
    for (const resources::ResourceEntry& e : table)
      if (e.id == id) return &e.resource;
  return nullptr;
}

}  // namespace orv

namespace orv::resources {

// Only ever named in constant evaluation, where reaching it is the error.
void bitmapMissingOrMisSized(int) {}

}  // namespace orv::resources
