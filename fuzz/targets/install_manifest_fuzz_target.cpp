// The install manifest a workbench installation leaves behind: what the reader accepts is one
// object with the five members as strings, and what it then calls a valid installation follows
// the installation rules.

#include <nlohmann/json.hpp>

#include "common/utf.h"
#include "fuzz_targets.h"
#include "detect/install_manifest.h"

namespace velko {

int fuzz_install_manifest(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  const auto manifest = parse_install_manifest(text);
  if (!manifest) {
    VELKO_FUZZ_CHECK(installed_workbench_state(manifest, "1.4.0") == WorkbenchInstallState::None);
    return 0;
  }

  VELKO_FUZZ_CHECK(text.find('\0') == std::string_view::npos);
  const std::string_view document = fuzz::trim_json_space(text);
  VELKO_FUZZ_CHECK(document.size() >= 2 && document.front() == '{' && document.back() == '}');

  const std::array<const std::string*, 5> fields = {&manifest->commandLibraryPath, &manifest->executablePath,
                                                    &manifest->installPath, &manifest->product, &manifest->version};
  for (const std::string* field : fields) VELKO_FUZZ_CHECK(is_valid_utf8(*field));

  const nlohmann::json dom = nlohmann::json::parse(text, nullptr, false);
  if (!dom.is_discarded()) {
    VELKO_FUZZ_CHECK(dom.is_object());
    const std::array<const char*, 5> names = {"commandLibraryPath", "executablePath", "installPath", "product",
                                              "version"};
    for (std::size_t i = 0; i < names.size(); ++i) {
      VELKO_FUZZ_CHECK(dom.contains(names[i]) && dom[names[i]].is_string());
      VELKO_FUZZ_CHECK(dom[names[i]].get<std::string>() == *fields[i]);
    }
  }

  const SamePathFunction samePath = [](const std::string& a, const std::string& b) { return a == b; };
  if (manifest_describes_installation(*manifest, manifest->installPath, manifest->executablePath, samePath)) {
    VELKO_FUZZ_CHECK(manifest->product == kWorkbenchProductName);
    VELKO_FUZZ_CHECK(manifest->commandLibraryPath == kEmbeddedCommandLibrary);
    VELKO_FUZZ_CHECK(fuzz::version_text_ok(manifest->version));
  }

  std::array<std::uint32_t, 3> version{};
  const bool validVersion = fuzz::version_text_ok(manifest->version, &version);
  const auto state = installed_workbench_state(manifest, "1.4.0");
  const std::array<std::uint32_t, 3> latest = {1, 4, 0};
  if (!validVersion) {
    VELKO_FUZZ_CHECK(state == WorkbenchInstallState::None);
  } else {
    VELKO_FUZZ_CHECK(state == (version < latest ? WorkbenchInstallState::Older : WorkbenchInstallState::Current));
  }
  VELKO_FUZZ_CHECK(installed_workbench_state(manifest, std::nullopt) == WorkbenchInstallState::Older);
  return 0;
}

}  // namespace velko
