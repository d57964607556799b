// Picture files: those make_pictures.sh makes at build time, and what no common tool writes: a bitmap of one colour or
// only its headers, a placeable metafile holding one red rectangle.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace vellora::testing {

// A picture that make_pictures.sh made, by its name.
inline std::string test_picture(const std::string& name) { return VELLORA_TEST_PICTURES "/" + name; }

inline void put_le(std::string& s, std::initializer_list<std::uint32_t> values, int bytes) {
    for (const auto v : values) {
        for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFFU);
    }
}

// A 24-bit bitmap of one colour (0x00BBGGRR); without pixels only the headers that claim the size.
inline std::string bmp_bytes(int width, int height, std::uint32_t color, bool pixels = true) {
    const auto row = static_cast<std::uint32_t>(width * 3 + 3) & ~3U;
    const auto size = row * static_cast<std::uint32_t>(height);
    std::string s = "BM";
    put_le(s, {54 + size, 0, 54, 40, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}, 4);
    put_le(s, {1, 24}, 2);
    put_le(s, {0, size, 3780, 3780, 0, 0}, 4);  // 96 dots per inch
    if (!pixels) return s;
    const std::uint32_t bgr = ((color & 0xFFU) << 16U) | (color & 0xFF00U) | ((color >> 16U) & 0xFFU);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) put_le(s, {bgr}, 3);
        s.append(row - static_cast<std::uint32_t>(width) * 3, '\0');
    }
    return s;
}

// A placeable metafile whose frame is `width` x `height` units at `inch` units per inch.
inline std::string wmf_bytes(int width, int height, int inch) {
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    std::string s;
    const std::initializer_list<std::uint32_t> head = {0xCDD7, 0x9AC6, 0, 0, 0, w, h, static_cast<std::uint32_t>(inch), 0, 0};
    std::uint32_t checksum = 0;
    for (const auto v : head) checksum ^= v;
    put_le(s, head, 2);
    put_le(s, {checksum}, 2);
    // Records: function and parameters, each 16 bits, after a 32-bit size in words.
    const std::vector<std::vector<std::uint32_t>> records = {
        {0x020B, 0, 0}, {0x020C, h, w},               // window origin and extent
        {0x02FC, 0, 0x00FF, 0, 0}, {0x012D, 0},       // a solid red brush, selected
        {0x041B, h, w, 0, 0}, {0},                    // the rectangle; the end
    };
    std::uint32_t total = 9;
    for (const auto& r : records) total += 2 + static_cast<std::uint32_t>(r.size());
    put_le(s, {1, 9, 0x0300}, 2);
    put_le(s, {total}, 4);
    put_le(s, {1}, 2);
    put_le(s, {7}, 4);  // the largest record
    put_le(s, {0}, 2);
    for (const auto& r : records) {
        put_le(s, {2 + static_cast<std::uint32_t>(r.size())}, 4);
        for (const auto v : r) put_le(s, {v}, 2);
    }
    return s;
}

}  // namespace vellora::testing
