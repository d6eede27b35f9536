#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velko {

// Splits a command line by the Windows rules (as CommandLineToArgvW): the program
// path first (quotes delimit it, backslashes are literal there), then arguments
// with the backslash-and-quote rules. An empty line gives no arguments.
std::vector<std::string> split_command_line(std::string_view line);

// Quotes one argument so that split_command_line gives it back unchanged.
std::string quote_argument(std::string_view argument);

// Joins a program path and its arguments into one command line.
std::string build_command_line(std::string_view program, const std::vector<std::string>& arguments);

}  // namespace velko
