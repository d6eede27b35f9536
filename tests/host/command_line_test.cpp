#include "common/command_line.h"

#include <gtest/gtest.h>

#include "common/utf.h"

namespace velko {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SplitsByWindowsRules) {
  EXPECT_EQ(split_command_line(""), Args{});
  EXPECT_EQ(split_command_line("a.exe"), (Args{"a.exe"}));
  EXPECT_EQ(split_command_line("\"C:\\Program Files\\a.exe\" x  y"), (Args{"C:\\Program Files\\a.exe", "x", "y"}));
  // Backslashes are literal in the program path.
  EXPECT_EQ(split_command_line("C:\\a\\\"b c\" d"), (Args{"C:\\a\\b c", "d"}));
  EXPECT_EQ(split_command_line("p \"a b\" c"), (Args{"p", "a b", "c"}));
  EXPECT_EQ(split_command_line("p a\\\\b"), (Args{"p", "a\\\\b"}));
  EXPECT_EQ(split_command_line("p a\\\\\"b c\""), (Args{"p", "a\\b c"}));
  EXPECT_EQ(split_command_line("p a\\\"b"), (Args{"p", "a\"b"}));
  EXPECT_EQ(split_command_line("p \"a\"\"b\""), (Args{"p", "a\"b"}));
  EXPECT_EQ(split_command_line("p \"unterminated arg"), (Args{"p", "unterminated arg"}));
  EXPECT_EQ(split_command_line("p \"\""), (Args{"p", ""}));
  EXPECT_EQ(split_command_line("p\t--install-dir\t\"D:\\VelkoTarn工作台\\\""),
            (Args{"p", "--install-dir", "D:\\VelkoTarn工作台\""}));
}

TEST(CommandLine, QuotingRoundTrips) {
  const Args samples{"plain", "with space", "", "trailing\\", "C:\\Program Files\\", "quote\"inside",
                     "back\\\\\"slash", "中文 路径\\", "\t"};
  for (const auto& sample : samples) {
    const auto args = split_command_line("p " + quote_argument(sample));
    ASSERT_EQ(args.size(), 2u) << sample;
    EXPECT_EQ(args[1], sample);
  }
  EXPECT_EQ(split_command_line(build_command_line("C:\\x y\\a.exe", {"--silent-install-to", "D:\\a b\\"})),
            (Args{"C:\\x y\\a.exe", "--silent-install-to", "D:\\a b\\"}));
}

TEST(Utf, Utf16RoundTripAndReplacement) {
  const std::string text = "VelkoTarn工作台 \xF0\x9F\x98\x80";
  EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(text)), text);
  EXPECT_EQ(utf16_to_utf8(u"a\xD800" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(utf16_to_utf8(u"\xDC00"), "\xEF\xBF\xBD");
  EXPECT_EQ(utf16_to_utf8(std::u16string_view(u"x\xD83D", 2)), "x\xEF\xBF\xBD");
  EXPECT_EQ(utf8_to_utf16("a\xFF" "b"), u"a\xFFFD" "b");
  EXPECT_FALSE(is_valid_utf8("\xC0\x80"));
  EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));
  EXPECT_TRUE(is_valid_utf8("工作台"));
}

TEST(Utf, AsciiCaseFoldingOnly) {
  EXPECT_TRUE(equal_ignoring_ascii_case("VelkoTarn工作台.EXE", "velkotarn工作台.exe"));
  EXPECT_FALSE(equal_ignoring_ascii_case("a", "ab"));
  EXPECT_FALSE(equal_ignoring_ascii_case("\xC3\x84", "\xC3\xA4"));  // Ä and ä are not folded
}

}  // namespace
}  // namespace velko
