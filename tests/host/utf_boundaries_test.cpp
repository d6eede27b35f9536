#include "common/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace velko {
namespace {

std::string bytes(std::initializer_list<unsigned> values) {
  std::string out;
  for (unsigned value : values) out.push_back(static_cast<char>(value));
  return out;
}

TEST(Utf16ToUtf8, OneByteTwoByteBoundary) {
  EXPECT_EQ(utf16_to_utf8(u"\u007F"), bytes({0x7F}));
  EXPECT_EQ(utf16_to_utf8(u"\u0080"), bytes({0xC2, 0x80}));
}

TEST(Utf16ToUtf8, TwoByteThreeByteBoundary) {
  EXPECT_EQ(utf16_to_utf8(u"\u07FF"), bytes({0xDF, 0xBF}));
  EXPECT_EQ(utf16_to_utf8(u"\u0800"), bytes({0xE0, 0xA0, 0x80}));
}

TEST(Utf16ToUtf8, ThreeByteFourByteBoundary) {
  EXPECT_EQ(utf16_to_utf8(u"\uFFFF"), bytes({0xEF, 0xBF, 0xBF}));
  EXPECT_EQ(utf16_to_utf8(u"\U00010000"), bytes({0xF0, 0x90, 0x80, 0x80}));
  EXPECT_EQ(std::u16string(u"\U00010000"), (std::u16string{char16_t(0xD800), char16_t(0xDC00)}));
}

TEST(Utf16ToUtf8, LastCodePoint) {
  EXPECT_EQ(utf16_to_utf8(std::u16string{char16_t(0xDBFF), char16_t(0xDFFF)}), bytes({0xF4, 0x8F, 0xBF, 0xBF}));
}

TEST(Utf16ToUtf8, TheCodePointsBesideTheSurrogatesAreKept) {
  EXPECT_EQ(utf16_to_utf8(u"\uD7FF"), bytes({0xED, 0x9F, 0xBF}));
  EXPECT_EQ(utf16_to_utf8(u"\uE000"), bytes({0xEE, 0x80, 0x80}));
}

TEST(Utf16ToUtf8, UnpairedSurrogatesBecomeTheReplacementCharacter) {
  const std::string replacement = bytes({0xEF, 0xBF, 0xBD});
  for (char16_t unit : {char16_t(0xD800), char16_t(0xDBFF), char16_t(0xDC00), char16_t(0xDFFF)}) {
    EXPECT_EQ(utf16_to_utf8(std::u16string{unit}), replacement) << std::hex << unsigned(unit);
    EXPECT_EQ(utf16_to_utf8(std::u16string{u'a', unit, u'b'}), "a" + replacement + "b") << std::hex << unsigned(unit);
  }
  // A low surrogate before a high one is no pair: two replacements, never one code point.
  EXPECT_EQ(utf16_to_utf8(std::u16string{char16_t(0xDC00), char16_t(0xD800)}), replacement + replacement);
  // Two high surrogates in a row: the first stands alone, the second pairs with what follows.
  EXPECT_EQ(utf16_to_utf8(std::u16string{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)}),
            replacement + bytes({0xF0, 0x90, 0x80, 0x80}));
}

TEST(Utf16ToUtf8, RoundTripsEveryBoundaryThroughUtf8) {
  const std::u16string text = u"\u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000\U0010FFFF";
  const std::string encoded = utf16_to_utf8(text);
  EXPECT_TRUE(is_valid_utf8(encoded));
  EXPECT_EQ(encoded.size(), 1u + 2 + 2 + 3 + 3 + 3 + 3 + 4 + 4);
  EXPECT_EQ(utf8_to_utf16(encoded), text);
}

}  // namespace
}  // namespace velko
