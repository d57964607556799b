#include "runtime/orientation.h"

#include <cstddef>
#include <optional>

namespace vellora::rt {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShort = 3;

// A TIFF structure (a TIFF file, or the Exif block of a JPEG): its byte
// order, then 42, then where its first directory lies; each directory entry
// is a tag, a type, a count and the value itself when it fits in 4 bytes.
class TiffReader {
public:
    explicit TiffReader(std::string_view bytes) : bytes_(bytes), little_(bytes.substr(0, 2) == "II") {}

    [[nodiscard]] std::optional<int> orientation() const {
        if (bytes_.size() < 8 || (!little_ && bytes_.substr(0, 2) != "MM") || u16(2) != 42) return std::nullopt;
        const auto directory = u32(4);
        if (!directory || *directory > bytes_.size() - 2) return std::nullopt;
        const std::size_t at = *directory;
        const auto entries = u16(at);
        for (std::size_t i = 0; entries && i < *entries; ++i) {
            const std::size_t entry = at + 2 + i * 12;
            if (entry > bytes_.size() || bytes_.size() - entry < 12) return std::nullopt;
            if (u16(entry) != kOrientationTag) continue;
            if (u16(entry + 2) != kShort || u32(entry + 4).value_or(0) < 1) return std::nullopt;
            return u16(entry + 8);
        }
        return std::nullopt;
    }

private:
    [[nodiscard]] std::optional<std::uint32_t> read(std::size_t at, std::size_t n) const {
        if (at > bytes_.size() || bytes_.size() - at < n) return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const auto byte = static_cast<std::uint8_t>(bytes_[at + (little_ ? n - 1 - i : i)]);
            value = (value << 8U) | byte;
        }
        return value;
    }
    [[nodiscard]] std::optional<std::uint32_t> u16(std::size_t at) const { return read(at, 2); }
    [[nodiscard]] std::optional<std::uint32_t> u32(std::size_t at) const { return read(at, 4); }

    std::string_view bytes_;
    bool little_;
};

std::uint8_t byte_at(std::string_view bytes, std::size_t at) { return static_cast<std::uint8_t>(bytes[at]); }

// The Exif block of a JPEG: the segments after the start of the image, up
// to the first APP1 segment that holds Exif data, or the scan.
std::optional<int> jpeg_orientation(std::string_view bytes) {
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (byte_at(bytes, at) != 0xFF) return std::nullopt;
        const std::uint8_t marker = byte_at(bytes, at + 1);
        if (marker == 0xFF) {  // fill bytes before a marker
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return std::nullopt;  // the scan: no Exif block before it
        const std::size_t length = (std::size_t{byte_at(bytes, at + 2)} << 8U) | byte_at(bytes, at + 3);
        if (length < 2) return std::nullopt;
        const std::string_view segment = bytes.substr(at + 4, length - 2);  // cut short at the end of the bytes
        constexpr std::string_view kExif("Exif\0\0", 6);
        if (marker == 0xE1 && segment.substr(0, kExif.size()) == kExif) {
            return TiffReader(segment.substr(kExif.size())).orientation();
        }
        at += 2 + length;
    }
    return std::nullopt;
}

}  // namespace

int exif_orientation(std::string_view head) {
    std::optional<int> found;
    if (head.size() >= 2 && byte_at(head, 0) == 0xFF && byte_at(head, 1) == 0xD8) {
        found = jpeg_orientation(head);
    } else {
        found = TiffReader(head).orientation();
    }
    return found && *found >= 1 && *found <= 8 ? *found : 1;
}

}  // namespace vellora::rt
