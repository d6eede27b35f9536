#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "policy/release_policy.h"

namespace velko {

enum class ComponentKind : std::int32_t {
  Generic = 0,  // no component: events about the run as a whole
  ServicePack1 = 1,
  Kb4490628 = 2,
  Kb4474419 = 3,
  WebView2Runtime = 4,
  Workbench = 5,
};

// How detection finds a component present.
enum class ComponentDetection : std::uint8_t {
  CarriedByWindows,       // every supported Windows already has it
  WebView2Runtime,        // the runtime's registry version and its files
  WorkbenchInstallation,  // the installed workbench is the policy's release
};

// Where the download size the window shows comes from.
enum class ComponentSize : std::uint8_t {
  None,                // never downloaded
  PinnedBootstrapper,  // the carried WebView2 bootstrapper's pinned size
  PolicyInstaller,     // the policy's installer size
};

// How a run stages and installs a component (see install/component_installers.h).
enum class ComponentInstallation : std::uint8_t {
  None,                  // nothing to install
  WebView2Bootstrapper,  // the carried bootstrapper, run silently
  WorkbenchPackage,      // the policy's signed installer, downloaded and run into the install folder
};

struct ComponentRow {
  ComponentKind kind;
  std::string_view label;        // the window's row label
  std::string_view displayName;  // short name, in rows and step texts
  std::string_view longName;     // used while a download of the kind is being prepared
  bool namedWithVersion;         // both names end in " v{release}"
  ComponentDetection detection;
  ComponentSize size;
  ComponentInstallation installation;
};

// Every component, in ComponentKind order: the window's rows, detection and a run's plan all
// follow it.
inline constexpr std::array kComponentTable{
    ComponentRow{ComponentKind::ServicePack1, "Service Pack 1", "Service Pack 1", "Service Pack 1", false,
                 ComponentDetection::CarriedByWindows, ComponentSize::None, ComponentInstallation::None},
    ComponentRow{ComponentKind::Kb4490628, "KB4490628", "KB4490628", "KB4490628 服务堆栈补丁", false,
                 ComponentDetection::CarriedByWindows, ComponentSize::None, ComponentInstallation::None},
    ComponentRow{ComponentKind::Kb4474419, "KB4474419", "KB4474419", "KB4474419 SHA-2 补丁", false,
                 ComponentDetection::CarriedByWindows, ComponentSize::None, ComponentInstallation::None},
    ComponentRow{ComponentKind::WebView2Runtime, "WebView2 运行环境", "WebView2 运行环境", "WebView2 Evergreen 运行环境",
                 false, ComponentDetection::WebView2Runtime, ComponentSize::PinnedBootstrapper,
                 ComponentInstallation::WebView2Bootstrapper},
    ComponentRow{ComponentKind::Workbench, "VelkoTarn工作台", "VelkoTarn工作台", "VelkoTarn工作台", true,
                 ComponentDetection::WorkbenchInstallation, ComponentSize::PolicyInstaller,
                 ComponentInstallation::WorkbenchPackage},
};

// Generic and one per row.
inline constexpr std::size_t kComponentKindCount = kComponentTable.size() + 1;

constexpr std::size_t kind_index(ComponentKind kind) { return static_cast<std::size_t>(kind); }

// The row of a kind; nothing for Generic and for any value outside the enumeration.
constexpr const ComponentRow* find_component(ComponentKind kind) {
  for (const ComponentRow& row : kComponentTable) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}

constexpr bool is_installable(const ComponentRow& row) { return row.installation != ComponentInstallation::None; }

// What a classification found of one kind.
struct ComponentStatus {
  bool present = false;
  bool staged = false;  // its download is on disk, verified, waiting to be installed

  bool operator==(const ComponentStatus&) const = default;
};

// A status per kind, Generic's included.
struct ComponentStatuses {
  std::array<ComponentStatus, kComponentKindCount> byKind{};

  // `kind` is one of the enumeration.
  ComponentStatus& operator[](ComponentKind kind) { return byKind[kind_index(kind)]; }
  const ComponentStatus& operator[](ComponentKind kind) const { return byKind[kind_index(kind)]; }
  // Nothing for a value outside the enumeration.
  ComponentStatus* find(ComponentKind kind) {
    return kind_index(kind) < byKind.size() ? &byKind[kind_index(kind)] : nullptr;
  }
  // Neither present nor staged for a value outside the enumeration.
  ComponentStatus at(ComponentKind kind) const {
    return kind_index(kind) < byKind.size() ? byKind[kind_index(kind)] : ComponentStatus{};
  }
  bool operator==(const ComponentStatuses&) const = default;
};

// How many installable components are not present.
int count_missing_components(const ComponentStatuses& statuses);
// The component a run starts with or is busy with: the first installable one that is missing,
// else the last installable one.
ComponentKind next_component(const ComponentStatuses& statuses);

// The release the texts name: the policy's latest version, or "等待检测" while none is known
// (or it cannot be read).
std::string release_version_text(const std::expected<ReleasePolicy, std::string>& policy);

// One of a row's names (`&ComponentRow::displayName` or `&ComponentRow::longName`) as texts
// show it, with the release after it where the row says so; "安装组件" for Generic and any
// unknown kind.
std::string component_name(ComponentKind kind, std::string_view ComponentRow::*name, std::string_view versionText);
// Short name, used in component rows and step texts; the workbench's carries `versionText`
// (a release_version_text). Generic and any unknown kind is "安装组件".
std::string component_display_name(ComponentKind kind, std::string_view versionText);

}  // namespace velko
