// Writes the picture files of the end-to-end tests, from the same bytes the C++ tests use (picture_files.h):
// "make_picture bmp|tiff|png W H RRGGBB OUT", a 24-bit bitmap, an RGB TIFF of one colour, or a PNG whose left
// half is that colour and whose right half is see-through; "make_picture huge-bmp W H OUT", only the headers
// of a bitmap that size.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/picture_files.h"

int main(int argc, char** argv) {
    using namespace vellora::testing;
    const std::string kind = argc > 1 ? argv[1] : "";
    const auto number = [&](int i) { return std::atoi(argv[i]); };
    if ((kind == "bmp" || kind == "tiff" || kind == "png") && argc == 6) {
        const auto rgb = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 16));
        const std::uint32_t color = ((rgb >> 16U) & 0xFFU) | (rgb & 0xFF00U) | ((rgb & 0xFFU) << 16U);
        const int width = number(2);
        if (kind == "bmp") write_file(argv[5], bmp_bytes(width, number(3), color));
        if (kind == "tiff") write_file(argv[5], tiff_bytes(width, number(3), color));
        if (kind == "png") {
            write_file(argv[5], png_bytes(width, number(3), [&](int x, int) { return x < width / 2 ? 0xFF000000U | rgb : 0U; }));
        }
    } else if (kind == "huge-bmp" && argc == 5) {
        write_file(argv[4], bmp_bytes(number(2), number(3), 0, false) + std::string(64, '\0'));
    } else {
        std::fprintf(stderr, "usage: make_picture bmp|tiff|png W H RRGGBB OUT | huge-bmp W H OUT\n");
        return 2;
    }
    return 0;
}
