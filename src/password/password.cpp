#include "password/password.h"

#include "runtime/text.h"

namespace vellora {

namespace {

constexpr std::size_t kMaxPasswordLength = 20;

}  // namespace

std::string EncodePassword(const std::string& text) {
    const std::size_t n = text.size() < kMaxPasswordLength ? text.size() : kMaxPasswordLength;
    std::string encoded(n, '\0');
    for (std::size_t i = 1; i <= n; ++i) {
        // Upper case for the letters a to z; every other code stays as it is.
        const int c = static_cast<unsigned char>(rt::ascii_upper(text[i - 1]));
        int v = c + 14 + 4 * static_cast<int>(i);
        while (v > 126) v -= 126;
        while (v < 33) v += 33;
        encoded[i - 1] = static_cast<char>(v);
    }
    return encoded;
}

std::string ReadStoredPassword(rt::UserStore& store) {
    return store.read(kPasswordApplication, kPasswordSection, kPasswordKey, "");
}

bool SaveStoredPassword(rt::UserStore& store, const std::string& encoded) {
    return store.write(kPasswordApplication, kPasswordSection, kPasswordKey, encoded);
}

}  // namespace vellora
