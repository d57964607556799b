// The password encoding, checked against encodings worked out by hand.
#include "password/password.h"

#include <gtest/gtest.h>

#include <string>

namespace vellora {
namespace {

TEST(Password, KnownEncodings) {
    EXPECT_EQ(EncodePassword(""), "");
    for (const char* typed : {"abc", "ABC", "aBc"}) EXPECT_EQ(EncodePassword(typed), "SX]") << typed;
    // 'Z' + 14 + 4 x 6 = 128 is past 126: 2, then below 33: 35, '#'.
    EXPECT_EQ(EncodePassword("zzzzzzzzzzzzzzzzzzzz"), "lptx|#'+/37;?\"&*.26:");
    EXPECT_EQ(EncodePassword("~~~~~"), "37;?\"");
    EXPECT_EQ(EncodePassword("\xFF\xFF"), "6:");  // bytes above 127 count unsigned
    const std::string long_text = "correct horse battery staple";
    EXPECT_EQ(EncodePassword(long_text), EncodePassword(long_text.substr(0, 20)));  // 20 characters count
}

}  // namespace
}  // namespace vellora
