#include "support/child_role.h"

#include <cstdio>
#include <map>

namespace velko::test {
namespace {

constexpr char kChildRoleVariable[] = "VELKO_TEST_CHILD_ROLE";

std::map<std::string, ChildRole>& roles() {
  static std::map<std::string, ChildRole> registered;
  return registered;
}

}  // namespace

bool register_child_role(const std::string& name, ChildRole play) { return roles().emplace(name, play).second; }

ScopedChildRole::ScopedChildRole(const std::string& name) : role_(kChildRoleVariable, name) {}

std::optional<int> play_child_role() {
  const std::string name = environment_text(kChildRoleVariable);
  if (name.empty()) return std::nullopt;
  const auto found = roles().find(name);
  if (found == roles().end()) {
    std::fprintf(stderr, "this program plays no part named %s\n", name.c_str());
    return 2;
  }
  return found->second();
}

}  // namespace velko::test
