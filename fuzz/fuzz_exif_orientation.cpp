// The Exif orientation of a photo, read where the platform reads none:
// arbitrary bytes as a file's first bytes. The answer is always 1 to 8; and
// bytes read as a TIFF give the same answer when they come as the Exif
// segment of a JPEG, after a JFIF segment, as a camera writes them.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "runtime/orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int as_file = vellora::rt::exif_orientation(bytes);
    VELLORA_FUZZ_CHECK(as_file >= 1 && as_file <= 8);
    if (bytes.substr(0, 2) == "\xFF\xD8" || size > 0xFFFF - 8) return 0;
    std::string jpeg("\xFF\xD8", 2);
    jpeg += std::string("\xFF\xE0\x00\x10" "JFIF\x00" "\x01\x01\x00" "\x00\x01\x00\x01" "\x00\x00", 18);
    jpeg += "\xFF\xE1";
    const std::size_t length = size + 8;
    jpeg += static_cast<char>(length >> 8U);
    jpeg += static_cast<char>(length & 0xFFU);
    jpeg += std::string("Exif\0\0", 6);
    jpeg += bytes;
    jpeg += "\xFF\xDA";
    VELLORA_FUZZ_CHECK(vellora::rt::exif_orientation(jpeg) == as_file);
    return 0;
}
