// The password encoding and the stored password.
#include "password/password.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/headless.h"
#include "support/temp_dir.h"

namespace vellora {
namespace {

std::string codes(std::initializer_list<int> list) {
    std::string s;
    for (int c : list) s.push_back(static_cast<char>(c));
    return s;
}

TEST(Password, LetterCaseAndLength) {
    EXPECT_EQ(EncodePassword(""), "");
    for (const char* typed : {"abc", "ABC", "aBc"}) EXPECT_EQ(EncodePassword(typed), codes({83, 88, 93})) << typed;
    const std::string long_text = "correct horse battery staple";
    EXPECT_EQ(EncodePassword(long_text).size(), 20U);
    EXPECT_EQ(EncodePassword(long_text), EncodePassword(long_text.substr(0, 20)));
    EXPECT_EQ(EncodePassword(long_text.substr(0, 21)), EncodePassword(long_text.substr(0, 20)));
}

TEST(Password, EveryOutputIsPrintable) {
    for (int c = 0; c < 256; ++c) {
        const auto encoded = EncodePassword(std::string(20, static_cast<char>(c)));
        ASSERT_EQ(encoded.size(), 20U);
        for (std::size_t i = 0; i < encoded.size(); ++i) {
            const int v = static_cast<unsigned char>(encoded[i]);
            EXPECT_TRUE(v >= 33 && v <= 126) << "byte " << c << " at " << i + 1 << " gives " << v;
        }
    }
}

TEST(Password, TheReductionStepsBy126ThenRaisesBy33) {
    // The code at position i adds 14 + 4 i: choose the byte for the sum wanted.
    const auto encode_sum = [](int sum, int position) {
        const std::string text =
            std::string(static_cast<std::size_t>(position - 1), '0') + static_cast<char>(sum - 14 - 4 * position);
        return static_cast<unsigned char>(EncodePassword(text).back());
    };
    EXPECT_EQ(encode_sum(127, 5), 34);  // byte 93, ']'
    EXPECT_EQ(encode_sum(158, 1), 65);  // bytes of 128 and above count unsigned
    EXPECT_EQ(encode_sum(159, 1), 33);
    EXPECT_EQ(encode_sum(252, 1), 126);
    EXPECT_EQ(encode_sum(253, 1), 34);
    EXPECT_EQ(encode_sum(34, 5), 34);  // the encoding is not one-to-one
}

TEST(Password, TheStoredPasswordReadsBackUnchanged) {
    testing::TempDir dir;
    std::string all_printable;
    for (int c = 33; c <= 126; ++c) all_printable.push_back(static_cast<char>(c));
    headless::HeadlessPlatform platform{dir.path()};
    auto& store = platform.user_store();
    EXPECT_EQ(ReadStoredPassword(store), "");
    ASSERT_TRUE(SaveStoredPassword(store, all_printable));
    EXPECT_EQ(store.read("Samples", "Oskel Screen Saver", "Password", "<none>"), all_printable);
    EXPECT_EQ(ReadStoredPassword(store), all_printable);
    ASSERT_TRUE(SaveStoredPassword(store, ""));
    EXPECT_EQ(ReadStoredPassword(store), "");
}

}  // namespace
}  // namespace vellora
