// The Exif orientation (a camera's big-endian tag: the contract's): little-endian, after other segments, in a TIFF.
#include <gtest/gtest.h>

#include <string>

#include "runtime/orientation.h"
#include "support/picture_files.h"

namespace vellora::rt {
namespace {

using testing::put_le;

// A little-endian TIFF structure whose first directory holds a filler tag, then `tag` as a short of `value`.
std::string tiff(std::uint32_t tag, std::uint32_t value) {
    std::string s("II\x2A\0", 4);
    put_le(s, {8}, 4);
    put_le(s, {2, 0x0100, 4}, 2);  // two entries: first the width,
    put_le(s, {1, 640}, 4);
    put_le(s, {tag, 3}, 2);  // then the tag
    put_le(s, {1}, 4);
    put_le(s, {value, 0}, 2);
    put_le(s, {0}, 4);
    return s;
}

std::string jpeg_with(const std::string& segments) { return "\xFF\xD8" + segments + "\xFF\xDA"; }

std::string segment(char marker, const std::string& data) {
    const auto size = data.size() + 2;
    return std::string("\xFF") + marker + static_cast<char>(size >> 8U) + static_cast<char>(size & 0xFFU) + data;
}

TEST(ExifOrientation, ReadFromAJpegsExifSegmentOrATiffOtherwiseAsStored) {
    const std::string exif("Exif\0\0", 6);
    const std::string jfif = segment('\xE0', std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
    EXPECT_EQ(exif_orientation(jpeg_with(jfif + "\xFF" + segment('\xE1', exif + tiff(0x0112, 6)))), 6);
    EXPECT_EQ(exif_orientation(tiff(0x0112, 8)), 8);
    for (const std::string& none : {
             jpeg_with(segment('\xE1', exif + tiff(0x0112, 9))),   // out of range
             jpeg_with(segment('\xE1', exif + tiff(0x0113, 6))),   // another tag
             jpeg_with(segment('\xE1', "XMP" + tiff(0x0112, 6))),  // not Exif
             jpeg_with(segment('\xE1', exif + tiff(0x0112, 6)).substr(0, 30)),  // cut short
             std::string("\xFF\xD8\xFF\xDA") + segment('\xE1', exif + tiff(0x0112, 6)),  // after the scan
             std::string(), std::string("BM"), tiff(0x0112, 6).substr(0, 20),
         }) {
        EXPECT_EQ(exif_orientation(none), 1);
    }
}

}  // namespace
}  // namespace vellora::rt
