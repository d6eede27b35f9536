#include "common/sddl.h"

#include <array>
#include <charconv>
#include <algorithm>

namespace velko {
namespace {

struct Alias {
  std::string_view alias;
  std::string_view sid;
};

// The machine-independent aliases. Domain-relative ones ("DA", "LA", ...) name a SID that
// depends on the machine or domain and are left as written.
constexpr std::array kAliases{
    Alias{"AA", "S-1-5-32-579"}, Alias{"AC", "S-1-15-2-1"},   Alias{"AN", "S-1-5-7"},
    Alias{"AO", "S-1-5-32-548"}, Alias{"AS", "S-1-18-1"},     Alias{"AU", "S-1-5-11"},
    Alias{"BA", "S-1-5-32-544"}, Alias{"BG", "S-1-5-32-546"}, Alias{"BO", "S-1-5-32-551"},
    Alias{"BU", "S-1-5-32-545"}, Alias{"CD", "S-1-5-32-574"}, Alias{"CG", "S-1-3-1"},
    Alias{"CO", "S-1-3-0"},      Alias{"CY", "S-1-5-32-569"}, Alias{"ED", "S-1-5-9"},
    Alias{"ER", "S-1-5-32-573"}, Alias{"ES", "S-1-5-32-576"}, Alias{"HA", "S-1-5-32-578"},
    Alias{"HI", "S-1-16-12288"}, Alias{"IS", "S-1-5-32-568"}, Alias{"IU", "S-1-5-4"},
    Alias{"LS", "S-1-5-19"},     Alias{"LU", "S-1-5-32-559"}, Alias{"LW", "S-1-16-4096"},
    Alias{"ME", "S-1-16-8192"},  Alias{"MP", "S-1-16-8448"},  Alias{"MS", "S-1-5-32-577"},
    Alias{"MU", "S-1-5-32-558"}, Alias{"NO", "S-1-5-32-556"}, Alias{"NS", "S-1-5-20"},
    Alias{"NU", "S-1-5-2"},      Alias{"OW", "S-1-3-4"},      Alias{"PS", "S-1-5-10"},
    Alias{"PU", "S-1-5-32-547"}, Alias{"RA", "S-1-5-32-575"}, Alias{"RC", "S-1-5-12"},
    Alias{"RD", "S-1-5-32-555"}, Alias{"RE", "S-1-5-32-552"}, Alias{"RM", "S-1-5-32-580"},
    Alias{"RU", "S-1-5-32-554"}, Alias{"SI", "S-1-16-16384"}, Alias{"SO", "S-1-5-32-549"},
    Alias{"SS", "S-1-18-2"},     Alias{"SU", "S-1-5-6"},      Alias{"SY", "S-1-5-18"},
    Alias{"UD", "S-1-5-84-0-0-0-0-0"}, Alias{"WD", "S-1-1-0"}, Alias{"WR", "S-1-5-33"},
};

struct Token {
  std::string_view text;
  std::uint32_t value;
};

struct AceType {
  std::string_view text;
  AceKind kind;
};

constexpr std::array kAceTypes{
    AceType{"A", AceKind::Allow},  AceType{"D", AceKind::Deny},
    AceType{"OA", AceKind::Allow},  // object entries do not apply to files; counted as if they did
    AceType{"OD", AceKind::Other},  AceType{"XA", AceKind::Allow}, AceType{"XD", AceKind::Other},
    AceType{"ZA", AceKind::Allow},  AceType{"AU", AceKind::Other}, AceType{"AL", AceKind::Other},
    AceType{"OU", AceKind::Other},  AceType{"OL", AceKind::Other}, AceType{"ML", AceKind::Other},
    AceType{"XU", AceKind::Other},  AceType{"RA", AceKind::Other}, AceType{"SP", AceKind::Other},
};

constexpr std::array kAceFlags{
    Token{"OI", kObjectInherit}, Token{"CI", kContainerInherit}, Token{"NP", kNoPropagateInherit},
    Token{"IO", kInheritOnly},   Token{"ID", kInheritedAce},     Token{"SA", 0x40},
    Token{"FA", 0x80},           Token{"TP", 0x40},               Token{"CR", 0x20},
};

constexpr std::array kRights{
    Token{"GA", 0x10000000}, Token{"GR", 0x80000000}, Token{"GW", 0x40000000}, Token{"GX", 0x20000000},
    Token{"RC", 0x00020000}, Token{"SD", 0x00010000}, Token{"WD", 0x00040000}, Token{"WO", 0x00080000},
    Token{"RP", 0x00000010}, Token{"WP", 0x00000020}, Token{"CC", 0x00000001}, Token{"DC", 0x00000002},
    Token{"LC", 0x00000004}, Token{"SW", 0x00000008}, Token{"LO", 0x00000080}, Token{"DT", 0x00000040},
    Token{"CR", 0x00000100}, Token{"FA", 0x001F01FF}, Token{"FR", 0x00120089}, Token{"FW", 0x00120116},
    Token{"FX", 0x001200A0}, Token{"KA", 0x000F003F}, Token{"KR", 0x00020019}, Token{"KW", 0x00020006},
    Token{"KX", 0x00020019}, Token{"NR", 0x00000001}, Token{"NW", 0x00000002}, Token{"NX", 0x00000004},
};

// A number as the Windows reader takes it: "0x" hexadecimal, a leading 0 octal, else decimal.
std::optional<std::uint32_t> parse_number(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '0') {
    base = 8;
    text.remove_prefix(1);
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

template <std::size_t N>
std::optional<std::uint32_t> parse_tokens(std::string_view text, const std::array<Token, N>& table) {
  if (!text.empty() && text[0] >= '0' && text[0] <= '9') return parse_number(text);
  std::uint32_t value = 0;
  while (!text.empty()) {
    if (text.size() < 2) return std::nullopt;
    bool known = false;
    for (const Token& token : table) {
      if (text.substr(0, 2) == token.text) {
        value |= token.value;
        known = true;
        break;
      }
    }
    if (!known) return std::nullopt;
    text.remove_prefix(2);
  }
  return value;
}

bool is_sid_text(std::string_view text) {
  if (text.size() < 4 || !text.starts_with("S-")) return false;
  for (char c : text.substr(2)) {
    const bool digit = c >= '0' && c <= '9';
    const bool hex = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == 'x' || c == 'X';
    if (!digit && !hex && c != '-') return false;
  }
  return true;
}

std::optional<std::string> parse_sid(std::string_view text) {
  if (is_sid_text(text)) return std::string(text);
  if (text.size() != 2 || text[0] < 'A' || text[0] > 'Z' || text[1] < 'A' || text[1] > 'Z') return std::nullopt;
  if (auto sid = sid_of_alias(text)) return std::string(*sid);
  return std::string(text);
}

// The fields of "(type;flags;rights;object;inherited object;sid[;condition])", split at the
// semicolons that are not inside a condition's parentheses.
std::optional<AccessEntry> parse_ace(std::string_view body) {
  std::vector<std::string_view> fields;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '(') ++depth;
    if (body[i] == ')') --depth;
    if (body[i] == ';' && depth == 0) {
      fields.push_back(body.substr(start, i - start));
      start = i + 1;
    }
  }
  fields.push_back(body.substr(start));
  if (fields.size() < 6 || fields.size() > 7) return std::nullopt;

  AccessEntry entry;
  bool knownType = false;
  for (const AceType& type : kAceTypes) {
    if (fields[0] == type.text) {
      entry.kind = type.kind;
      knownType = true;
    }
  }
  if (!knownType) return std::nullopt;
  const auto flags = parse_tokens(fields[1], kAceFlags);
  const auto mask = parse_tokens(fields[2], kRights);
  auto sid = parse_sid(fields[5]);
  if (!flags || !mask || fields[2].empty() || !sid) return std::nullopt;
  entry.flags = *flags;
  entry.mask = *mask;
  entry.sid = std::move(*sid);
  return entry;
}

struct AclText {
  bool nullAcl = false;
  bool isProtected = false;
  std::vector<AccessEntry> entries;
};

std::optional<AclText> parse_acl(std::string_view text) {
  AclText acl;
  const std::size_t firstAce = std::min(text.find('('), text.size());
  std::string_view flags = text.substr(0, firstAce);
  while (!flags.empty()) {
    if (flags.starts_with("NO_ACCESS_CONTROL")) {
      acl.nullAcl = true;
      flags.remove_prefix(17);
    } else if (flags.starts_with("AR") || flags.starts_with("AI")) {
      flags.remove_prefix(2);
    } else if (flags.starts_with("P")) {
      acl.isProtected = true;
      flags.remove_prefix(1);
    } else {
      return std::nullopt;
    }
  }
  std::string_view rest = text.substr(firstAce);
  while (!rest.empty()) {
    if (rest[0] != '(') return std::nullopt;
    int depth = 0;
    std::size_t close = 0;
    for (std::size_t i = 0; i < rest.size(); ++i) {
      if (rest[i] == '(') ++depth;
      if (rest[i] == ')' && --depth == 0) {
        close = i;
        break;
      }
    }
    if (close == 0) return std::nullopt;
    auto entry = parse_ace(rest.substr(1, close - 1));
    if (!entry) return std::nullopt;
    acl.entries.push_back(std::move(*entry));
    rest.remove_prefix(close + 1);
  }
  if (acl.nullAcl && !acl.entries.empty()) return std::nullopt;
  return acl;
}

// Where the part that starts at `from` ends: at the next "X:" tag outside parentheses.
std::size_t part_end(std::string_view text, std::size_t from) {
  int depth = 0;
  for (std::size_t i = from; i + 1 < text.size(); ++i) {
    if (text[i] == '(') ++depth;
    if (text[i] == ')') --depth;
    if (depth == 0 && text[i + 1] == ':' && (text[i] == 'O' || text[i] == 'G' || text[i] == 'D' || text[i] == 'S')) {
      return i;
    }
  }
  return text.size();
}

}  // namespace

std::optional<std::string_view> sid_of_alias(std::string_view alias) {
  for (const Alias& entry : kAliases) {
    if (entry.alias == alias) return entry.sid;
  }
  return std::nullopt;
}

std::optional<SecurityDescriptor> parse_sddl(std::string_view text) {
  // Only conditional entries carry quoted texts, and a parenthesis inside one would shift every
  // boundary after it; the program's folders never hold such entries, so they are not read.
  if (text.find('"') != std::string_view::npos) return std::nullopt;
  SecurityDescriptor descriptor;
  bool seen[4] = {false, false, false, false};
  std::size_t position = 0;
  while (position < text.size()) {
    if (position + 1 >= text.size() || text[position + 1] != ':') return std::nullopt;
    const char tag = text[position];
    const std::size_t valueStart = position + 2;
    const std::size_t end = part_end(text, valueStart);
    const std::string_view value = text.substr(valueStart, end - valueStart);
    const int slot = tag == 'O' ? 0 : tag == 'G' ? 1 : tag == 'D' ? 2 : tag == 'S' ? 3 : -1;
    if (slot < 0 || seen[slot]) return std::nullopt;
    seen[slot] = true;
    if (tag == 'O' || tag == 'G') {
      auto sid = parse_sid(value);
      if (!sid) return std::nullopt;
      if (tag == 'O') descriptor.owner = std::move(*sid);
    } else {
      auto acl = parse_acl(value);
      if (!acl) return std::nullopt;
      if (tag == 'D') {
        descriptor.nullDacl = acl->nullAcl;
        descriptor.daclProtected = acl->isProtected;
        descriptor.dacl = std::move(acl->entries);
      }
    }
    position = end;
  }
  return descriptor;
}

}  // namespace velko
