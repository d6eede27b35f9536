#pragma once

#include <memory>

#include "state/bootstrap_state.h"
#include "ui/scene.h"

namespace velko::test {

// A fresh state (not the process-wide one) with a report of a supported system.
inline std::unique_ptr<BootstrapState> supported_state(UiPhase phase, WorkbenchInstallState workbench) {
  auto state = std::make_unique<BootstrapState>();
  state->phase = phase;
  state->workbenchState = workbench;
  state->updateMode = workbench == WorkbenchInstallState::Older;
  EnvironmentReport report;
  report.systemLabel = "Windows 11 专业版 · 64 位";
  report.supported = true;
  for (ComponentKind kind : {ComponentKind::ServicePack1, ComponentKind::Kb4490628, ComponentKind::Kb4474419}) {
    report.components[kind].present = true;
  }
  report.components[ComponentKind::Workbench].present = workbench == WorkbenchInstallState::Current;
  state->environment = report;
  state->installDirectory = "D:\\VelkoTarn工作台";
  return state;
}

inline SceneInputs sample_inputs() {
  SceneInputs inputs;
  inputs.versionText = "2.4.1";
  inputs.elapsedText = "01分15秒";
  inputs.currentLongName = "VelkoTarn工作台 v2.4.1";
  inputs.sizeTexts[kind_index(ComponentKind::WebView2Runtime)] = "1.7 MB";
  inputs.sizeTexts[kind_index(ComponentKind::Workbench)] = "123.5 MB";
  return inputs;
}

}  // namespace velko::test
