#pragma once

#include <string>

#include "state/bootstrap_state.h"

namespace velko {

struct SceneInputs;

struct PhaseTexts {
  std::string title;
  std::string subtitle;
};

// Texts of the installer window for the current state.
std::string header_label(const BootstrapState& state);
PhaseTexts phase_texts(const BootstrapState& state);
std::string status_line(const BootstrapState& state, const SceneInputs& inputs);
std::string primary_label(const BootstrapState& state);
std::string footer_hint(const BootstrapState& state);
std::string version_pill_text(const SceneInputs& inputs);
std::string install_path_text(const BootstrapState& state);

// The system row: status and value.
int system_row_status(const BootstrapState& state);
std::string system_row_value(const BootstrapState& state);

// A component row (a kind of the component table): -1 missing, 0 in progress, 1 done; and its value text.
int row_status(const BootstrapState& state, ComponentKind kind);
std::string row_value_text(const BootstrapState& state, const SceneInputs& inputs, ComponentKind kind);

// Texts of the launch window.
std::string launch_heading(const BootstrapState& state);
std::string launch_status_line(const BootstrapState& state, std::uint32_t launchTicks);
std::string launch_hint(const BootstrapState& state);

}  // namespace velko
