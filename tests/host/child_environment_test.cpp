#include "common/child_environment.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "common/utf.h"

namespace velko {
namespace {

using Variables = std::vector<std::pair<std::string, std::string>>;

SystemEnvironmentValues a_machine() {
  SystemEnvironmentValues values;
  values.windowsFolder = "C:\\Windows";
  values.systemFolder = "C:\\Windows\\system32";
  values.temporaryFolder = "C:\\ProgramData\\VelkoInstaller\\temp\\运行-1";
  values.programData = "C:\\ProgramData";
  values.programFiles = "C:\\Program Files";
  values.programFilesX86 = "C:\\Program Files (x86)";
  values.commonProgramFiles = "C:\\Program Files\\Common Files";
  values.commonProgramFilesX86 = "C:\\Program Files (x86)\\Common Files";
  values.publicFolder = "C:\\Users\\Public";
  values.userProfile = "C:\\Users\\小明";
  values.appData = "C:\\Users\\小明\\AppData\\Roaming";
  values.localAppData = "C:\\Users\\小明\\AppData\\Local";
  values.computerName = "DESKTOP-1";
  values.userName = "小明";
  values.processorArchitecture = "AMD64";
  values.processorCount = 8;
  values.processorLevel = 6;
  values.processorRevision = 0x9e0a;
  return values;
}

// Every variable a child gets, in the order Windows wants them, and nothing from anywhere but
// the values given.
TEST(ChildEnvironment, EveryVariableComesFromTheSystemsValuesInBlockOrder) {
  const Variables expected = {
      {"ALLUSERSPROFILE", "C:\\ProgramData"},
      {"APPDATA", "C:\\Users\\小明\\AppData\\Roaming"},
      {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
      {"CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files"},
      {"CommonProgramW6432", "C:\\Program Files\\Common Files"},
      {"COMPUTERNAME", "DESKTOP-1"},
      {"ComSpec", "C:\\Windows\\system32\\cmd.exe"},
      {"HOMEDRIVE", "C:"},
      {"HOMEPATH", "\\Users\\小明"},
      {"LOCALAPPDATA", "C:\\Users\\小明\\AppData\\Local"},
      {"NUMBER_OF_PROCESSORS", "8"},
      {"OS", "Windows_NT"},
      {"PATH",
       "C:\\Windows\\system32;C:\\Windows;C:\\Windows\\system32\\Wbem;C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\"},
      {"PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
      {"PROCESSOR_ARCHITECTURE", "AMD64"},
      {"PROCESSOR_LEVEL", "6"},
      {"PROCESSOR_REVISION", "9e0a"},
      {"ProgramData", "C:\\ProgramData"},
      {"ProgramFiles", "C:\\Program Files"},
      {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
      {"ProgramW6432", "C:\\Program Files"},
      {"PUBLIC", "C:\\Users\\Public"},
      {"SystemDrive", "C:"},
      {"SystemRoot", "C:\\Windows"},
      {"TEMP", "C:\\ProgramData\\VelkoInstaller\\temp\\运行-1"},
      {"TMP", "C:\\ProgramData\\VelkoInstaller\\temp\\运行-1"},
      {"USERNAME", "小明"},
      {"USERPROFILE", "C:\\Users\\小明"},
      {"windir", "C:\\Windows"},
  };
  EXPECT_EQ(child_environment_variables(a_machine()), expected);
}

// A value the system could not give is left out rather than written empty or guessed, and a
// value that would cut its entry short is left out too. Of this process's own variables only the
// tests' hooks are passed on.
TEST(ChildEnvironment, WhatIsUnknownIsLeftOut) {
  SystemEnvironmentValues values;
  values.temporaryFolder = "D:\\临时";
  values.userProfile = "C:";
  values.computerName = std::string("A\0B", 3);
  values.testVariables = {{"VELKO_TEST_CHILD_ROLE", "子"}, {"TEMP", "C:\\Users\\x\\Temp"}, {"velko_test_x", "1"},
                          {"PATH", "C:\\Users\\x"}, {"VELKO_TEST_=A", "1"}, {"VELKO_STANDIN_WORKBENCH", "hidden"}};
  const Variables expected = {
      {"HOMEDRIVE", "C:"},
      {"HOMEPATH", "\\"},
      {"OS", "Windows_NT"},
      {"PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
      {"TEMP", "D:\\临时"},
      {"TMP", "D:\\临时"},
      {"USERPROFILE", "C:"},
      {"VELKO_STANDIN_WORKBENCH", "hidden"},
      {"VELKO_TEST_CHILD_ROLE", "子"},
  };
  EXPECT_EQ(child_environment_variables(values), expected);
}

// The block: every "name=value" in UTF-16 ended by a zero, one more zero at the end, names in
// order ignoring case, exactly the variables above.
TEST(ChildEnvironment, BlockIsTheSortedVariablesEachEndedByAZeroAndOneMore) {
  const SystemEnvironmentValues values = a_machine();
  const std::u16string block = child_environment_block(values);
  ASSERT_GE(block.size(), 2u);
  EXPECT_EQ(block[block.size() - 1], u'\0');
  EXPECT_EQ(block[block.size() - 2], u'\0');
  Variables read;
  std::string previousName;
  for (std::size_t start = 0; block[start] != u'\0';) {
    const std::size_t end = block.find(u'\0', start);
    ASSERT_NE(end, std::u16string::npos);
    const std::string entry = utf16_to_utf8(std::u16string_view(block).substr(start, end - start));
    const std::size_t equals = entry.find('=');
    ASSERT_NE(equals, std::string::npos) << entry;
    std::string upperName = entry.substr(0, equals);
    for (char& c : upperName) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    EXPECT_LT(previousName, upperName);
    previousName = upperName;
    read.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
    start = end + 1;
    ASSERT_LT(start, block.size());
  }
  EXPECT_EQ(read, child_environment_variables(values));
  EXPECT_EQ(child_environment_block(SystemEnvironmentValues{}).find(u"OS=Windows_NT"), 0u);
}

}  // namespace
}  // namespace velko
