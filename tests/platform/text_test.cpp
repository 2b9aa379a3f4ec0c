#include <gtest/gtest.h>

#include "platform/text.h"

namespace {

TEST(Latin1, EveryByteRoundTripsThroughUtf16AndUtf8) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(platform::utf16_to_latin1(platform::latin1_to_utf16(all)), all);
    EXPECT_EQ(platform::utf8_to_latin1(platform::latin1_to_utf8(all)), all);
}

TEST(Latin1, CharactersOutsideBecomeQuestionMarks) {
    EXPECT_EQ(platform::utf16_to_latin1(u"caf\u00e9 \u20ac \U0001F600!"), "caf\xe9 ? ?!");
    EXPECT_EQ(platform::utf8_to_latin1("\xe2\x82\xac" "a"), "?a");
    EXPECT_EQ(platform::utf16_to_latin1(std::u16string(1, char16_t{0xD800})), "?");  // lone surrogate
}

TEST(Utf8, MalformedInputNeverReadsPastTheEnd) {
    EXPECT_EQ(platform::utf8_to_utf16("\xc3"), u"\uFFFD");          // truncated sequence
    EXPECT_EQ(platform::utf8_to_utf16("\xc0\xaf"), u"\uFFFD\uFFFD");  // overlong '/'
    EXPECT_EQ(platform::utf16_to_utf8(platform::utf8_to_utf16("\xf0\x9f\x98\x80")), "\xf0\x9f\x98\x80");
}

}  // namespace
