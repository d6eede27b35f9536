#include "detect/install_manifest.h"

#include <nlohmann/json.hpp>

#include <set>
#include <vector>

#include "common/json_document.h"
#include "common/unicode_space.h"
#include "common/utf.h"
#include "common/win_path.h"
#include "policy/version_rules.h"

namespace velko {
namespace {

using json = nlohmann::json;

// Reads the manifest in one pass without building a document, so that repeated member
// names (which a document would silently collapse) can be refused.
class ManifestReader final : public nlohmann::json_sax<json> {
 public:
  std::optional<InstallManifest> result() const {
    if (!sawTopObject_ || !found_[0] || !found_[1] || !found_[2] || !found_[3] || !found_[4]) return std::nullopt;
    return manifest_;
  }

  bool null() override { return scalar(); }
  bool boolean(bool) override { return scalar(); }
  bool number_integer(number_integer_t) override { return scalar(); }
  bool number_unsigned(number_unsigned_t) override { return scalar(); }
  bool number_float(number_float_t, const string_t&) override { return scalar(); }
  bool binary(binary_t&) override { return false; }

  bool string(string_t& value) override {
    if (containers_.empty()) return false;  // a bare string is not a manifest
    if (std::string* target = current_member()) {
      *target = value;
      found_[member_] = true;
    }
    return true;
  }

  bool start_object(std::size_t) override {
    if (containers_.empty()) {
      if (sawTopObject_) return false;
      sawTopObject_ = true;
    } else if (current_member() != nullptr) {
      return false;  // one of the five members with an object value
    }
    containers_.push_back(Container{true, {}});
    member_ = kNoMember;
    return true;
  }

  bool key(string_t& name) override {
    Container& object = containers_.back();
    if (!object.keys.insert(name).second) return false;
    member_ = containers_.size() == 1 ? member_index(name) : kNoMember;
    return true;
  }

  bool end_object() override { return leave(); }

  bool start_array(std::size_t) override {
    if (containers_.empty() || current_member() != nullptr) return false;
    containers_.push_back(Container{false, {}});
    member_ = kNoMember;
    return true;
  }

  bool end_array() override { return leave(); }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  static constexpr int kNoMember = -1;
  struct Container {
    bool isObject;
    std::set<std::string> keys;
  };

  static int member_index(const std::string& name) {
    static constexpr const char* kNames[] = {"commandLibraryPath", "executablePath", "installPath", "product",
                                             "version"};
    for (int i = 0; i < 5; ++i) {
      if (name == kNames[i]) return i;
    }
    return kNoMember;
  }

  // The member whose value comes next, when that value belongs to the manifest itself.
  std::string* current_member() {
    if (containers_.size() != 1 || member_ == kNoMember) return nullptr;
    std::string* fields[] = {&manifest_.commandLibraryPath, &manifest_.executablePath, &manifest_.installPath,
                             &manifest_.product, &manifest_.version};
    return fields[member_];
  }

  bool scalar() {
    if (containers_.empty()) return false;
    return current_member() == nullptr;  // a wrong type for one of the five members
  }

  bool leave() {
    containers_.pop_back();
    member_ = kNoMember;
    return true;
  }

  InstallManifest manifest_;
  bool found_[5] = {};
  int member_ = kNoMember;
  bool sawTopObject_ = false;
  std::vector<Container> containers_;
};

}  // namespace

std::optional<InstallManifest> parse_install_manifest(std::string_view text) {
  ManifestReader reader;
  if (!parse_json_document(text, &reader)) return std::nullopt;
  return reader.result();
}

bool manifest_describes_installation(const InstallManifest& manifest, const std::string& directory,
                                     const std::string& executable, const SamePathFunction& samePath) {
  // A path in the manifest is compared by opening it: one that names a share or a device is
  // refused before anything looks at it.
  return manifest.product == kWorkbenchProductName && is_valid_version(manifest.version) &&
         manifest.commandLibraryPath == kEmbeddedCommandLibrary && is_local_drive_path(manifest.installPath) &&
         is_local_drive_path(manifest.executablePath) && samePath(manifest.installPath, directory) &&
         samePath(manifest.executablePath, executable);
}

WorkbenchInstallState installed_workbench_state(const std::optional<InstallManifest>& manifest,
                                                const std::optional<std::string>& latestVersion) {
  if (!manifest) return WorkbenchInstallState::None;
  if (!latestVersion) return WorkbenchInstallState::Older;
  const auto order = compare_versions(manifest->version, *latestVersion);
  if (!order) return WorkbenchInstallState::None;
  return *order < 0 ? WorkbenchInstallState::Older : WorkbenchInstallState::Current;
}

}  // namespace velko
