#include "detect/install_location.h"

#include <gtest/gtest.h>

#include "common/sddl.h"

namespace velko {
namespace {

// The default is never a folder the program would then refuse: D: only where a folder that
// administrators alone control can stay below its root.
TEST(DefaultInstallLocation, DDriveOnlyWhereItsRootKeepsAnAdminFolder) {
  const std::string onD = "D:\\VelkoTarn工作台";
  const std::string onC = "C:\\Program Files\\VelkoTarn工作台";
  struct Case {
    bool fixed;
    const char* root;  // nullptr: no descriptor
    std::string expected;
  };
  for (const Case& c : {
           Case{true, "O:BAG:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;AU)(A;OICI;0x1200a9;;;BU)", onD},
           Case{true, "O:BAG:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)", onD},
           Case{false, "O:BAG:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", onC},
           Case{true, "O:BAD:(A;OICI;FA;;;WD)", onC},
           Case{true, "D:NO_ACCESS_CONTROL", onC},
           Case{true, nullptr, onC},
       }) {
    const auto root = c.root ? parse_sddl(c.root) : std::nullopt;
    EXPECT_EQ(default_install_location(c.fixed, root), c.expected) << (c.root ? c.root : "(none)");
  }
}

}  // namespace
}  // namespace velko
