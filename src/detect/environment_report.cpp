#include "detect/environment_report.h"

namespace velko {

void mark_component_installed(EnvironmentReport& report, ComponentKind kind) {
  ComponentStatus* status = report.components.find(kind);
  if (!status) return;
  status->staged = true;
  if (find_component(kind)) status->present = true;
}

}  // namespace velko
