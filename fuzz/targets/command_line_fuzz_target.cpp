// The program's command line and its start-up options. The input is the whole command line;
// what it splits into must come back unchanged through quoting, and the options must say what
// the arguments say.

#include <algorithm>

#include "app/startup_options.h"
#include "common/command_line.h"
#include "fuzz_targets.h"

namespace velko {
namespace {

std::optional<std::uint32_t> expected_process_id(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  text.remove_prefix(std::min(text.find_first_not_of('0'), text.size() - 1));
  if (text.size() > 10 || std::stoull(std::string(text)) > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<std::uint32_t>(std::stoull(std::string(text)));
}

}  // namespace

int fuzz_command_line(const std::uint8_t* data, std::size_t size) {
  const std::string_view line = fuzz::as_text(data, size);
  const std::vector<std::string> arguments = split_command_line(line);
  VELKO_FUZZ_CHECK(arguments.empty() == line.empty());
  if (!arguments.empty()) {
    // Quotes only delimit the program path; they never become part of it.
    VELKO_FUZZ_CHECK(arguments[0].find('"') == std::string::npos);
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    VELKO_FUZZ_CHECK(split_command_line(build_command_line(arguments[0], rest)) == arguments);
  }
  // Any text at all is one argument that quoting carries through unchanged.
  const std::vector<std::string> whole = {"C:\\Program Files\\Velko\\setup.exe", std::string(line)};
  VELKO_FUZZ_CHECK(split_command_line(build_command_line(whole[0], {whole[1]})) == whole);

  const StartupOptions options = parse_startup_options(arguments);
  const auto present = [&](std::string_view option) {
    return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
  };
  VELKO_FUZZ_CHECK(options.launchMode == present("--launch-main"));
  VELKO_FUZZ_CHECK(options.installerMode == present("--installer"));
  VELKO_FUZZ_CHECK(options.autoContinue == (present("--installer") || present("--resume")));
  std::optional<std::uint32_t> wait;
  std::optional<std::string> installDir;
  bool waitSeen = false;
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (!waitSeen && arguments[i] == "--wait-for-process") {
      waitSeen = true;
      wait = expected_process_id(arguments[i + 1]);
    }
    if (!installDir && arguments[i] == "--install-dir") installDir = arguments[i + 1];
  }
  VELKO_FUZZ_CHECK(options.waitForProcess == wait);
  VELKO_FUZZ_CHECK(options.installDir == installDir);
  for (const std::uint32_t own : {0u, 1u, 4242u}) {
    const auto waitFor = process_to_wait_for(options, own);
    VELKO_FUZZ_CHECK(!waitFor || (*waitFor != 0 && *waitFor != own && waitFor == options.waitForProcess));
  }

  VELKO_FUZZ_CHECK(parse_process_id(line) == expected_process_id(line));
  if (const auto directory = launch_install_directory(line)) VELKO_FUZZ_CHECK(directory->size() < line.size());
  return 0;
}

}  // namespace velko
