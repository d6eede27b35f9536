#include "common/http_header.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

TEST(HttpHeader, ContentLengthIsPlainDecimal) {
  EXPECT_EQ(parse_content_length("4294967295"), 4294967295u);
  EXPECT_EQ(parse_content_length(" 12 "), 12u);
  EXPECT_EQ(parse_content_length("0"), 0u);
  EXPECT_EQ(parse_content_length("18446744073709551615"), 18446744073709551615u);
  for (const char* text : {"", " ", "-1", "+1", "1.5", "1e3", "0x10", "12a", "18446744073709551616", "1 2"}) {
    EXPECT_EQ(parse_content_length(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace velko
