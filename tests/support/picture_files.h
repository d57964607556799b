// Files for the runtimes' picture tests, written byte by byte: a bitmap of
// one colour, a placeable metafile holding one red rectangle, a grey JPEG of
// 8 x 8 blocks with an Exif orientation, a PNG with alpha and a TIFF.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace vellora::testing {

inline void put_le(std::string& s, std::initializer_list<std::uint32_t> values, int bytes) {
    for (const auto v : values) {
        for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFFU);
    }
}

inline void put_be(std::string& s, std::initializer_list<std::uint32_t> values, int bytes) {
    for (const auto v : values) {
        for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFFU);
    }
}

inline void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
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

// The headers of a baseline grey JPEG of `width` x `height` pixels, up to
// its scan: one component, quantizer 1, the Huffman tables of jpeg_bytes;
// with `orientation` 1 to 8 an Exif orientation tag (big-endian, as
// cameras write it).
inline std::string jpeg_head(int width, int height, int orientation = 0) {
    std::string s = "\xFF\xD8";
    if (orientation != 0) {
        std::string exif("Exif\0\0MM\0\x2A", 10);
        put_be(exif, {8}, 4);                         // the first directory
        put_be(exif, {1, 0x0112, 3}, 2);              // one entry: the orientation, a short
        put_be(exif, {1}, 4);                         // one of them,
        put_be(exif, {static_cast<std::uint32_t>(orientation), 0}, 2);  // its value in the entry
        put_be(exif, {0}, 4);                         // no next directory
        s += "\xFF\xE1";
        put_be(s, {static_cast<std::uint32_t>(exif.size() + 2)}, 2);
        s += exif;
    }
    s += "\xFF\xDB";  // quantizer 1 for every coefficient
    put_be(s, {67}, 2);
    s += std::string(1, '\0') + std::string(64, '\x01');
    s += "\xFF\xC0";  // one grey component, no subsampling
    put_be(s, {11}, 2);
    put_be(s, {8}, 1);
    put_be(s, {static_cast<std::uint32_t>(height), static_cast<std::uint32_t>(width)}, 2);
    put_be(s, {1, 1, 0x11, 0}, 1);
    // DC differences: categories 0 to 11, each a 4-bit code (its own number);
    // the coefficients after it: only the end of the block, the 1-bit code 0.
    s += "\xFF\xC4";
    put_be(s, {2 + 17 + 12 + 17 + 1}, 2);
    s += '\x00';
    s += std::string(3, '\0') + '\x0C' + std::string(12, '\0');
    for (char v = 0; v < 12; ++v) s += v;
    s += '\x10';
    s += '\x01' + std::string(15, '\0');
    s += '\x00';
    s += "\xFF\xDA";
    put_be(s, {8}, 2);
    put_be(s, {1, 1, 0x00, 0, 63, 0}, 1);
    return s;
}

// A baseline grey JPEG, `width` x `height` pixels (multiples of 8), made of
// 8 x 8 blocks of one grey each, `grey(x, y)` at each block's top-left
// pixel: only the blocks' DC coefficients are coded, so every decoder gives
// exactly those greys.
inline std::string jpeg_bytes(int width, int height, const std::function<std::uint8_t(int, int)>& grey,
                              int orientation = 0) {
    std::string s = jpeg_head(width, height, orientation);
    std::uint32_t bits = 0;
    int count = 0;
    const auto put_bits = [&](std::uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            bits = (bits << 1U) | ((value >> static_cast<unsigned>(i)) & 1U);
            if (++count == 8) {
                s += static_cast<char>(bits);
                if (bits == 0xFF) s += '\0';  // a coded 0xFF is followed by 0
                bits = 0;
                count = 0;
            }
        }
    };
    int previous = 0;
    for (int y = 0; y < height; y += 8) {
        for (int x = 0; x < width; x += 8) {
            const int dc = (static_cast<int>(grey(x, y)) - 128) * 8;
            const int diff = dc - previous;
            previous = dc;
            int category = 0;
            while ((diff < 0 ? -diff : diff) >> category) ++category;
            put_bits(static_cast<std::uint32_t>(category), 4);
            put_bits(static_cast<std::uint32_t>(diff < 0 ? diff - 1 : diff) & ((1U << category) - 1U), category);
            put_bits(0, 1);
        }
    }
    if (count > 0) put_bits(0x7F, 8 - count);  // the last byte filled with ones
    return s + "\xFF\xD9";
}

// The six-block pattern of the orientation tests: 24 x 16 pixels as shown,
// three blocks wide and two high, each its own grey, so that any turn or
// mirror of it shows. kPatternGreys[row * 3 + column].
inline constexpr std::array<std::uint8_t, 6> kPatternGreys = {0, 48, 96, 144, 192, 240};

// The pattern stored the way a camera holding it in `orientation` (1 to 8)
// stores it, tagged so, so that a viewer that honours the tag shows the
// pattern upright: 24 x 16 as shown, 16 x 24 as stored for 5 to 8.
inline std::string oriented_jpeg_bytes(int orientation) {
    const bool turned = orientation >= 5;
    const int w = turned ? 16 : 24;
    const int h = turned ? 24 : 16;
    return jpeg_bytes(w, h, [&](int x, int y) {
        // The shown pixel (u, v) that stored pixel (x, y) becomes.
        int u = x, v = y;
        switch (orientation) {
            case 2: u = w - 1 - x; break;
            case 3: u = w - 1 - x; v = h - 1 - y; break;
            case 4: v = h - 1 - y; break;
            case 5: u = y; v = x; break;
            case 6: u = h - 1 - y; v = x; break;
            case 7: u = h - 1 - y; v = w - 1 - x; break;
            case 8: u = y; v = w - 1 - x; break;
            default: break;
        }
        return kPatternGreys[static_cast<std::size_t>((v / 8) * 3 + (u / 8))];
    }, orientation);
}

// CRC-32 of PNG chunks.
inline std::uint32_t crc32_of(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1U) ^ (0xEDB88320U & (0U - (crc & 1U)));
    }
    return ~crc;
}

// An 8-bit RGBA PNG of `rgba(x, y)` (0xAARRGGBB), its data stored uncompressed.
inline std::string png_bytes(int width, int height, const std::function<std::uint32_t(int, int)>& rgba) {
    const auto chunk = [](std::string& out, const char* type, const std::string& data) {
        put_be(out, {static_cast<std::uint32_t>(data.size())}, 4);
        const std::string body = type + data;
        out += body;
        put_be(out, {crc32_of(body)}, 4);
    };
    std::string s("\x89PNG\r\n\x1A\n", 8);
    std::string header;
    put_be(header, {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}, 4);
    put_be(header, {8, 6, 0, 0, 0}, 1);
    chunk(s, "IHDR", header);
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // no filter
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = rgba(x, y);
            put_be(raw, {(p >> 16U) & 0xFFU, (p >> 8U) & 0xFFU, p & 0xFFU, p >> 24U}, 1);
        }
    }
    std::string z("\x78\x01", 2);
    for (std::size_t at = 0; at == 0 || at < raw.size(); at += 65535) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(65535, raw.size() - at));
        z += static_cast<char>(at + n >= raw.size() ? 1 : 0);  // a stored block, the last one flagged
        put_le(z, {n, n ^ 0xFFFFU}, 2);
        z += raw.substr(at, n);
    }
    std::uint32_t a = 1, b = 0;
    for (const char c : raw) {
        a = (a + static_cast<std::uint8_t>(c)) % 65521U;
        b = (b + a) % 65521U;
    }
    put_be(z, {(b << 16U) | a}, 4);
    chunk(s, "IDAT", z);
    chunk(s, "IEND", "");
    return s;
}

// A GIF of `index(x, y)` into a palette of two colours (0x00BBGGRR) with
// index 2 see-through. Its data is coded 3 bits a pixel, the code table
// cleared after every second pixel so that the code size never grows.
inline std::string gif_bytes(int width, int height, std::uint32_t first, std::uint32_t second,
                             const std::function<int(int, int)>& index) {
    std::string s = "GIF89a";
    put_le(s, {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}, 2);
    put_le(s, {0xF1, 0, 0}, 1);  // a palette of 4 colours
    for (const auto c : {first, second, 0U, 0U}) put_le(s, {c & 0xFFU, (c >> 8U) & 0xFFU, (c >> 16U) & 0xFFU}, 1);
    put_le(s, {0x21, 0xF9, 4, 1, 0, 0, 2, 0}, 1);  // index 2 is see-through
    s += ',';
    put_le(s, {0, 0, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}, 2);
    put_le(s, {0, 2}, 1);  // no palette of its own; codes of 2 + 1 bits
    std::string data;
    std::uint32_t bits = 0;
    int count = 0;
    const auto code = [&](std::uint32_t value) {
        bits |= value << static_cast<unsigned>(count);  // least significant bit first
        for (count += 3; count >= 8; count -= 8, bits >>= 8U) data += static_cast<char>(bits & 0xFFU);
    };
    for (int i = 0; i < width * height; ++i) {
        if (i % 2 == 0) code(4);  // clear
        code(static_cast<std::uint32_t>(index(i % width, i / width)));
    }
    code(5);  // the end
    if (count > 0) data += static_cast<char>(bits & 0xFFU);
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::string block = data.substr(at, 255);
        s += static_cast<char>(block.size());
        s += block;
    }
    return s + std::string(1, '\0') + ";";
}

// An uncompressed 24-bit RGB TIFF of one colour (0x00BBGGRR), one strip.
inline std::string tiff_bytes(int width, int height, std::uint32_t color) {
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    const std::uint32_t entries = 10;
    const std::uint32_t bits_at = 8 + 2 + entries * 12 + 4;
    const std::uint32_t pixels_at = bits_at + 6;
    std::string s("II\x2A\0", 4);
    put_le(s, {8}, 4);
    put_le(s, {entries}, 2);
    const auto entry = [&](std::uint32_t tag, std::uint32_t type, std::uint32_t count, std::uint32_t value) {
        put_le(s, {tag, type}, 2);
        put_le(s, {count, value}, 4);
    };
    entry(256, 4, 1, w);             // width
    entry(257, 4, 1, h);             // height
    entry(258, 3, 3, bits_at);       // 8 bits a sample, three samples
    entry(259, 3, 1, 1);             // no compression
    entry(262, 3, 1, 2);             // RGB
    entry(273, 4, 1, pixels_at);     // where the strip lies
    entry(277, 3, 1, 3);             // samples a pixel
    entry(278, 4, 1, h);             // rows a strip
    entry(279, 4, 1, w * h * 3);     // the strip's length
    entry(284, 3, 1, 1);             // samples side by side
    put_le(s, {0}, 4);
    put_le(s, {8, 8, 8}, 2);
    for (std::uint32_t i = 0; i < w * h; ++i) put_le(s, {color & 0xFFU, (color >> 8U) & 0xFFU, (color >> 16U) & 0xFFU}, 1);
    return s;
}

}  // namespace vellora::testing
