#pragma once

#include <optional>
#include <string>

#include "support/scoped_temp_dir.h"

namespace velko::test {

// A test program also plays outside programs (the workbench, its installer, a launcher) in copies
// of itself that a test or the product starts. The part is chosen by name through the environment
// before any test runs, so a part is no test of its own. A part returns its exit code.
using ChildRole = int (*)();

// Registers a part under its name; meant for a namespace-scope initialiser in a test file.
bool register_child_role(const std::string& name, ChildRole play);

// Makes every copy this process starts during the scope play the part of this name.
class ScopedChildRole {
 public:
  explicit ScopedChildRole(const std::string& name);

 private:
  ScopedEnvironment role_;
};

// The entry point's choice: the exit code of the part the environment names, or nothing when it
// names none and the tests are to run.
std::optional<int> play_child_role();

}  // namespace velko::test
