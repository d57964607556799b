// The password encoding and the stored password.
#include "password/password.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/headless.h"
#include "support/temp_dir.h"

namespace vellora {
namespace {

TEST(Password, LetterCaseAndLength) {
    EXPECT_EQ(EncodePassword(""), "");
    for (const char* typed : {"abc", "ABC", "aBc"}) EXPECT_EQ(EncodePassword(typed), "SX]") << typed;  // 83 88 93
    const std::string long_text = "correct horse battery staple";
    EXPECT_EQ(EncodePassword(long_text.substr(0, 21)), EncodePassword(long_text.substr(0, 20)));
    EXPECT_EQ(EncodePassword(long_text).size(), 20U);
}

TEST(Password, EveryOutputIsPrintableAndTheReductionSteps) {
    for (int c = 0; c < 256; ++c) {
        for (const char v : EncodePassword(std::string(20, static_cast<char>(c)))) {
            EXPECT_TRUE(v >= 33 && v <= 126) << "byte " << c;
        }
    }
    // At position i a byte adds 14 + 4 i: pick the byte that gives the sum wanted.
    const auto encode_sum = [](int sum, int i) {
        const auto text = std::string(static_cast<std::size_t>(i - 1), '0') + static_cast<char>(sum - 14 - 4 * i);
        return static_cast<unsigned char>(EncodePassword(text).back());
    };
    EXPECT_EQ(encode_sum(127, 5), 34);  // byte 93, ']'
    EXPECT_EQ(encode_sum(158, 1), 65);  // bytes of 128 and above count unsigned
    EXPECT_EQ(encode_sum(159, 1), 33);
    EXPECT_EQ(encode_sum(252, 1), 126);
    EXPECT_EQ(encode_sum(253, 1), 34);
}

TEST(Password, TheStoredPasswordReadsBackUnchanged) {
    testing::TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    auto& store = platform.services().user_store();
    std::string all_printable;
    for (char c = 33; c <= 126; ++c) all_printable.push_back(c);
    EXPECT_EQ(ReadStoredPassword(store), "");
    ASSERT_TRUE(SaveStoredPassword(store, all_printable));
    EXPECT_EQ(store.read("Samples", "Oskel Screen Saver", "Password", ""), all_printable);
    EXPECT_EQ(ReadStoredPassword(store), all_printable);
}

}  // namespace
}  // namespace vellora
