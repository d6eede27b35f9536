#include "common/command_line.h"

namespace velko {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> split_command_line(std::string_view line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  if (line.empty()) return args;

  // The program path: no escapes, a quote toggles quoting.
  std::string program;
  bool quoted = false;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && is_blank(c)) {
      break;
    } else {
      program.push_back(c);
    }
  }
  args.push_back(std::move(program));

  while (true) {
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i >= line.size()) break;
    std::string arg;
    quoted = false;
    while (i < line.size()) {
      const char c = line[i];
      if (c == '\\') {
        std::size_t slashes = 0;
        while (i < line.size() && line[i] == '\\') ++slashes, ++i;
        if (i < line.size() && line[i] == '"') {
          arg.append(slashes / 2, '\\');
          if (slashes % 2 == 1) {
            arg.push_back('"');
            ++i;
          }
        } else {
          arg.append(slashes, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg.push_back('"');
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      if (!quoted && is_blank(c)) break;
      arg.push_back(c);
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string quote_argument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    return std::string(argument);
  }
  std::string out = "\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t slashes = 0;
    while (i < argument.size() && argument[i] == '\\') ++slashes, ++i;
    if (i == argument.size()) {
      out.append(slashes * 2, '\\');
      break;
    }
    if (argument[i] == '"') {
      out.append(slashes * 2 + 1, '\\');
      out.push_back('"');
    } else {
      out.append(slashes, '\\');
      out.push_back(argument[i]);
    }
  }
  out.push_back('"');
  return out;
}

std::string build_command_line(std::string_view program, const std::vector<std::string>& arguments) {
  std::string line = "\"";
  line.append(program);
  line.push_back('"');
  for (const auto& argument : arguments) {
    line.push_back(' ');
    line += quote_argument(argument);
  }
  return line;
}

}  // namespace velko
