// The bitmaps an editor loads, checked as the module carries them: every
// listed identifier is there with its size and sub-image count, decodes as a
// PNG of that size, and lies inside the built plug-in module, which carries
// no bitmaps of the other product.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "resources/required_bitmaps.h"
#include "resources/resource.h"
#include "resources/resource_table.h"

namespace {

using orv::Resource;
using orv::resources::RequiredBitmap;

#if defined(ORV_RESOURCES_VALDRIS)
constexpr std::span<const RequiredBitmap> kProductBitmaps = orv::resources::kValdrisBitmaps;
#else
constexpr std::span<const RequiredBitmap> kProductBitmaps = orv::resources::kNimletBitmaps;
#endif
constexpr std::span<const RequiredBitmap> kBarBitmaps = orv::resources::kPresetBarBitmaps;

std::vector<RequiredBitmap> allRequired() {
  std::vector<RequiredBitmap> all(kProductBitmaps.begin(), kProductBitmaps.end());
  all.insert(all.end(), kBarBitmaps.begin(), kBarBitmaps.end());
  return all;
}

std::uint32_t bigEndian32(const unsigned char* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::vector<unsigned char> readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool contains(const std::vector<unsigned char>& haystack, const unsigned char* data, std::size_t size) {
  std::boyer_moore_horspool_searcher searcher(data, data + size);
  return std::search(haystack.begin(), haystack.end(), searcher) != haystack.end();
}

// Decodes the whole PNG with cairo, as the GUI layer loads it.
struct PngReader {
  const Resource* resource;
  std::size_t offset = 0;
  static cairo_status_t read(void* closure, unsigned char* out, unsigned int length) {
    auto* self = static_cast<PngReader*>(closure);
    if (self->resource->size - self->offset < length) return CAIRO_STATUS_READ_ERROR;
    std::copy_n(self->resource->data + self->offset, length, out);
    self->offset += length;
    return CAIRO_STATUS_SUCCESS;
  }
};

TEST(Resources, EveryBitmapHasItsListedSizeAndWholeSubImages) {
  for (const RequiredBitmap& need : allRequired()) {
    SCOPED_TRACE("bitmap " + std::to_string(need.id));
    const Resource* r = orv::findResource(need.id);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->width, need.width);
    EXPECT_EQ(r->height, need.height);
    EXPECT_EQ(r->subImages, need.subImages);
    ASSERT_GT(r->subImages, 0);
    EXPECT_EQ(r->height / r->subImages * r->subImages, r->height);

    // The PNG's own header: signature, then IHDR with width and height.
    ASSERT_GE(r->size, 33u);
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_TRUE(std::equal(signature, signature + 8, r->data));
    EXPECT_TRUE(std::equal(r->data + 12, r->data + 16, "IHDR"));
    EXPECT_EQ(bigEndian32(r->data + 16), std::uint32_t(need.width));
    EXPECT_EQ(bigEndian32(r->data + 20), std::uint32_t(need.height));
  }
}

TEST(Resources, EveryBitmapDecodesToItsSize) {
  for (const RequiredBitmap& need : allRequired()) {
    SCOPED_TRACE("bitmap " + std::to_string(need.id));
    PngReader reader{orv::findResource(need.id)};
    ASSERT_NE(reader.resource, nullptr);
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(&PngReader::read, &reader);
    EXPECT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(s), need.width);
    EXPECT_EQ(cairo_image_surface_get_height(s), need.height);
    EXPECT_EQ(reader.offset, reader.resource->size);
    cairo_surface_destroy(s);
  }
}

TEST(Resources, UnlistedIdentifiersAreNotFound) {
  for (int id : {0, -1, 1, 18999, 19037, 19039, 19898, 19989, 20000})
    EXPECT_EQ(orv::findResource(id), nullptr) << id;
  EXPECT_EQ(orv::resources::productResources().size() + orv::resources::presetBarResources().size(),
            allRequired().size());
}

TEST(Resources, ModuleCarriesItsOwnBitmapsAndNoneOfTheOtherProduct) {
  const std::vector<unsigned char> module = readFile(ORV_PLUGIN_PATH);
  ASSERT_FALSE(module.empty()) << ORV_PLUGIN_PATH;
  for (const RequiredBitmap& need : allRequired()) {
    const Resource* r = orv::findResource(need.id);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(contains(module, r->data, r->size)) << "bitmap " << need.id << " not in the module";
  }
  const std::vector<unsigned char> other = readFile(ORV_OTHER_FRAME_PNG);
  ASSERT_FALSE(other.empty()) << ORV_OTHER_FRAME_PNG;
  EXPECT_FALSE(contains(module, other.data(), other.size()));
}

}  // namespace
