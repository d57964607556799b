// Writes the picture files of the end-to-end tests, from the same bytes the C++ tests use (picture_files.h):
// "make_picture bmp W H RRGGBB OUT", a 24-bit bitmap of one colour; "make_picture huge-bmp W H OUT", only the
// headers of a bitmap that size.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/picture_files.h"

int main(int argc, char** argv) {
    using namespace vellora::testing;
    const std::string kind = argc > 1 ? argv[1] : "";
    const auto number = [&](int i) { return std::atoi(argv[i]); };
    if (kind == "bmp" && argc == 6) {
        const auto rgb = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 16));
        const std::uint32_t color = ((rgb >> 16U) & 0xFFU) | (rgb & 0xFF00U) | ((rgb & 0xFFU) << 16U);
        write_file(argv[5], bmp_bytes(number(2), number(3), color));
    } else if (kind == "huge-bmp" && argc == 5) {
        write_file(argv[4], bmp_bytes(number(2), number(3), 0, false) + std::string(64, '\0'));
    } else {
        std::fprintf(stderr, "usage: make_picture bmp W H RRGGBB OUT | huge-bmp W H OUT\n");
        return 2;
    }
    return 0;
}
