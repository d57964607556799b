// Password encoding on arbitrary bytes: every output character is printable
// (codes 33 to 126), the output is as long as the input cut to 20, letter
// case does not matter, and each character depends only on the character
// and its position.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "password/password.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string encoded = vellora::EncodePassword(text);

    VELLORA_FUZZ_CHECK(encoded.size() == (size < 20 ? size : 20));
    for (const char c : encoded) {
        const auto code = static_cast<unsigned char>(c);
        VELLORA_FUZZ_CHECK(code >= 33 && code <= 126);
    }

    std::string upper = text;
    std::string lower = text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= 'a' && c <= 'z') upper[i] = static_cast<char>(c - 'a' + 'A');
        if (c >= 'A' && c <= 'Z') lower[i] = static_cast<char>(c - 'A' + 'a');
    }
    VELLORA_FUZZ_CHECK(vellora::EncodePassword(upper) == encoded);
    VELLORA_FUZZ_CHECK(vellora::EncodePassword(lower) == encoded);

    // A prefix encodes to the prefix of the encoding; the caller's text stays as it was.
    const std::size_t half = size / 2;
    VELLORA_FUZZ_CHECK(vellora::EncodePassword(text.substr(0, half)) == encoded.substr(0, half < 20 ? half : 20));
    VELLORA_FUZZ_CHECK(text == std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
