#include "ui/component_names.h"

namespace velko {

std::string component_long_name(ComponentKind kind, std::string_view versionText) {
  return component_name(kind, &ComponentRow::longName, versionText);
}

}  // namespace velko
