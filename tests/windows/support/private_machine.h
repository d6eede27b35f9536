#pragma once

#include <string>

#include "support/scoped_temp_dir.h"

namespace velko::test {

// The places a run of the whole program writes to, made private to one test: ProgramData, the
// user's local application data, Program Files (x86) and the WebView2 stand-in's log live in a
// fresh temporary folder (inherited by the programs the test starts), and so does the install
// directory.
struct PrivateMachine {
  ScopedTempDir temp;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", temp.join("ProgramData")};
  ScopedEnvironment localAppData{"LOCALAPPDATA", temp.join("LocalAppData")};
  ScopedEnvironment programFiles{"ProgramFiles(x86)", temp.join("ProgramFiles86")};
  ScopedEnvironment standInLog{"VELKO_WEBVIEW2_STANDIN_LOG", temp.join("standin.log")};
  std::string installDirectory = temp.join("VelkoTarn工作台");
};

}  // namespace velko::test
