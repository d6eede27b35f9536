#include "common/json_document.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

TEST(JsonDocument, BareTextHasNoNulAndNoByteOrderMark) {
  EXPECT_TRUE(is_bare_json_text(" {} \n"));
  EXPECT_TRUE(is_bare_json_text(""));
  EXPECT_FALSE(is_bare_json_text(std::string("{}\0", 3)));
  EXPECT_FALSE(is_bare_json_text(std::string("{\"a\":\"\0\"}", 9)));
  EXPECT_FALSE(is_bare_json_text("\xEF\xBB\xBF{}"));
  EXPECT_TRUE(is_bare_json_text("{\"a\":\"\xEF\xBB\xBF\"}"));  // inside a text it is a character like any other
}

TEST(JsonDocument, OnlyNumbersBeyondADoubleAreTamed) {
  EXPECT_EQ(with_huge_numbers_tamed(R"({"a":1e400,"b":[-1E+400,2]})"), R"({"a":0.0,"b":[0.0,2]})");
  EXPECT_EQ(with_huge_numbers_tamed("[" + std::string(400, '9') + "]"), "[0.0]");
  EXPECT_EQ(with_huge_numbers_tamed("[0.000001e315]"), "[0.0]");
  // In range, or only too small for a double: left as written.
  for (const char* text : {"[1.7976931348623157e308]", "[1e-400]", "[-1e-400]", "[0e99999]", "[0.0e400]",
                           "[18446744073709551616]", "[1e308,-1e308]", "[1000e-4000]"}) {
    EXPECT_EQ(with_huge_numbers_tamed(text), text);
  }
  EXPECT_EQ(with_huge_numbers_tamed("[1.8e308]"), "[0.0]");
  // Within texts nothing changes, escaped quotes included; runs that are no single number neither.
  for (const char* text : {R"(["1e400"])", R"(["\"1e400"])", "[1e400e5]", "[1e400-1]", "[01e400]", "[1.e400]",
                           "\"1e400", "[\"\\"}) {
    EXPECT_EQ(with_huge_numbers_tamed(text), text) << text;
  }
  EXPECT_EQ(with_huge_numbers_tamed(R"(["\\",1e400])"), R"(["\\",0.0])");
  EXPECT_EQ(with_huge_numbers_tamed("[true,1e400x"), "[true,0.0x");
}

struct Counter {
  using number_integer_t = nlohmann::json::number_integer_t;
  using number_unsigned_t = nlohmann::json::number_unsigned_t;
  using number_float_t = nlohmann::json::number_float_t;
  using string_t = nlohmann::json::string_t;
  using binary_t = nlohmann::json::binary_t;
  int values = 0;
  bool null() { return ++values, true; }
  bool boolean(bool) { return ++values, true; }
  bool number_integer(number_integer_t) { return ++values, true; }
  bool number_unsigned(number_unsigned_t) { return ++values, true; }
  bool number_float(number_float_t, const string_t&) { return ++values, true; }
  bool string(string_t&) { return ++values, true; }
  bool binary(binary_t&) { return ++values, true; }
  bool start_object(std::size_t) { return true; }
  bool key(string_t&) { return true; }
  bool end_object() { return true; }
  bool start_array(std::size_t) { return true; }
  bool end_array() { return true; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }
};

TEST(JsonDocument, ParseIsStrictAboutWhatSurroundsTheDocument) {
  Counter counter;
  EXPECT_TRUE(parse_json_document(" \t\r\n[1,1e400,\"x\"]\n", &counter));
  EXPECT_EQ(counter.values, 3);
  EXPECT_FALSE(parse_json_document(std::string("[1]\0[2]", 7), &counter));
  EXPECT_FALSE(parse_json_document("\xEF\xBB\xBF[1]", &counter));
  EXPECT_FALSE(parse_json_document("[1] x", &counter));
  EXPECT_FALSE(parse_json_document("[1]\f", &counter));
  EXPECT_FALSE(parse_json_document("", &counter));
}

}  // namespace
}  // namespace velko
