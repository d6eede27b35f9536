#include "model/component_kind.h"

namespace velko {
namespace {

constexpr bool rows_follow_the_kinds() {
  for (std::size_t i = 0; i < kComponentTable.size(); ++i) {
    if (kind_index(kComponentTable[i].kind) != i + 1) return false;
  }
  return true;
}
// Statuses, rows and the window's row numbers are all indexed by kind.
static_assert(rows_follow_the_kinds(), "one row per ComponentKind after Generic, in order");

constexpr bool last_row_installable() { return is_installable(kComponentTable.back()); }
static_assert(last_row_installable(), "next_component falls back to the last row");

}  // namespace

int count_missing_components(const ComponentStatuses& statuses) {
  int missing = 0;
  for (const ComponentRow& row : kComponentTable) {
    if (is_installable(row) && !statuses.at(row.kind).present) ++missing;
  }
  return missing;
}

ComponentKind next_component(const ComponentStatuses& statuses) {
  for (const ComponentRow& row : kComponentTable) {
    if (is_installable(row) && !statuses.at(row.kind).present) return row.kind;
  }
  return kComponentTable.back().kind;
}

std::string release_version_text(const std::expected<ReleasePolicy, std::string>& policy) {
  return policy ? policy->latestVersion : std::string("等待检测");
}

std::string component_name(ComponentKind kind, std::string_view ComponentRow::*name, std::string_view versionText) {
  const ComponentRow* row = find_component(kind);
  if (!row) return "安装组件";
  std::string text(row->*name);
  if (row->namedWithVersion) text += " v" + std::string(versionText);
  return text;
}

std::string component_display_name(ComponentKind kind, std::string_view versionText) {
  return component_name(kind, &ComponentRow::displayName, versionText);
}

}  // namespace velko
