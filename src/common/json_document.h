#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace velko {

// Whether the JSON library may be handed `text` as it stands. It takes a NUL byte for the end of
// its input and skips a leading UTF-8 byte-order mark, so either would let something other than
// JSON white space stand around the document unseen. (A NUL belongs nowhere in JSON text, not
// even raw inside a string.)
bool is_bare_json_text(std::string_view text);

// `text` with every number beyond the range of a double (1e400, -1e400, four hundred nines)
// written as 0.0. The JSON library ends the parse at such a number even where the reader would
// skip the value; 0.0 keeps the token sequence and the kind of number (a fraction), so a member
// that is read still refuses it. Numbers merely too small for a double are left alone.
std::string with_huge_numbers_tamed(std::string_view text);

// Parses `text` as exactly one JSON document into `sax`, strictly: nothing but JSON white space
// may stand around it. False for any fault; nothing is thrown.
template <class Sax>
bool parse_json_document(std::string_view text, Sax* sax) {
  if (!is_bare_json_text(text)) return false;
  const std::string tamed = with_huge_numbers_tamed(text);
  try {
    return nlohmann::json::sax_parse(tamed, sax, nlohmann::json::input_format_t::json, true);
  } catch (const nlohmann::json::exception&) {
    return false;
  }
}

}  // namespace velko
