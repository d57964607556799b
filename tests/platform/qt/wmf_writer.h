// Test data: a minimal placeable Windows metafile, written byte by byte.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace vellora::testing {

// A placeable metafile whose picture frame is `width` x `height` logical
// units at `units_per_inch`, holding one filled rectangle.
inline std::vector<std::uint8_t> placeable_wmf(int width, int height, int units_per_inch) {
    std::vector<std::uint8_t> out;
    const auto w16 = [&](int v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    };
    const auto w32 = [&](std::uint32_t v) {
        w16(static_cast<int>(v & 0xFFFFU));
        w16(static_cast<int>(v >> 16U));
    };
    // Placeable header: key, handle, bounding box, units per inch, reserved, checksum.
    w32(0x9AC6CDD7U);
    w16(0);
    w16(0);
    w16(0);
    w16(width);
    w16(height);
    w16(units_per_inch);
    w32(0);
    std::uint16_t checksum = 0;
    for (std::size_t i = 0; i < out.size(); i += 2) {
        checksum = static_cast<std::uint16_t>(checksum ^ (out[i] | (out[i + 1] << 8)));
    }
    w16(checksum);
    // The records (sizes in 16-bit words).
    std::vector<std::vector<int>> records = {
        {0x020B, 0, 0},                   // SetWindowOrg(0, 0)
        {0x020C, height, width},          // SetWindowExt(height, width)
        {0x02FC, 0, 0x00FF, 0x0000, 0},   // CreateBrushIndirect: solid, red
        {0x012D, 0},                      // SelectObject(0)
        {0x041B, height, width, 0, 0},    // Rectangle(bottom, right, top, left)
    };
    std::uint32_t total = 9 + 3;  // header + end record
    std::uint32_t largest = 3;
    for (const auto& r : records) {
        const auto words = static_cast<std::uint32_t>(3 + r.size() - 1);
        total += words;
        largest = std::max(largest, words);
    }
    // Metafile header.
    w16(1);
    w16(9);
    w16(0x0300);
    w32(total);
    w16(1);
    w32(largest);
    w16(0);
    for (const auto& r : records) {
        w32(static_cast<std::uint32_t>(3 + r.size() - 1));
        w16(r[0]);
        for (std::size_t i = 1; i < r.size(); ++i) w16(r[i]);
    }
    w32(3);
    w16(0);
    return out;
}

inline void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vellora::testing
