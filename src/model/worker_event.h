#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/component_kind.h"

namespace velko {

enum class WorkerEventTag : std::uint32_t {
  PolicyReady = 0,
  PolicyFailed = 1,
  DownloadProgress = 2,
  StepStarted = 3,
  ComponentInstalled = 4,
  ComponentReady = 5,
  InstallCompleted = 6,
  InstallFailed = 7,
  LaunchSucceeded = 8,
  LaunchFailed = 9,
};

// One report from a worker to the window; fields a variant does not use are ignored.
struct WorkerEvent {
  WorkerEventTag tag = WorkerEventTag::PolicyReady;
  ComponentKind component = ComponentKind::Generic;
  std::int32_t percent = 0;
  std::optional<std::string> text;

  bool operator==(const WorkerEvent&) const = default;

  static WorkerEvent policy_ready() { return {WorkerEventTag::PolicyReady}; }
  static WorkerEvent policy_failed(std::string text) {
    return {WorkerEventTag::PolicyFailed, ComponentKind::Generic, 0, std::move(text)};
  }
  static WorkerEvent download_progress(ComponentKind kind, std::int32_t percent, std::string text) {
    return {WorkerEventTag::DownloadProgress, kind, percent, std::move(text)};
  }
  static WorkerEvent step_started(ComponentKind kind, std::string text) {
    return {WorkerEventTag::StepStarted, kind, 0, std::move(text)};
  }
  static WorkerEvent component_installed(ComponentKind kind) {
    return {WorkerEventTag::ComponentInstalled, kind};
  }
  static WorkerEvent component_ready(ComponentKind kind) { return {WorkerEventTag::ComponentReady, kind}; }
  static WorkerEvent install_completed() { return {WorkerEventTag::InstallCompleted}; }
  static WorkerEvent install_failed(std::string text) {
    return {WorkerEventTag::InstallFailed, ComponentKind::Generic, 0, std::move(text)};
  }
  static WorkerEvent launch_succeeded() { return {WorkerEventTag::LaunchSucceeded}; }
  static WorkerEvent launch_failed(std::string text) {
    return {WorkerEventTag::LaunchFailed, ComponentKind::Generic, 0, std::move(text)};
  }
};

}  // namespace velko
