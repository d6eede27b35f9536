#include "common/child_environment.h"

#include <algorithm>
#include <cstdio>

#include "common/utf.h"
#include "common/win_path.h"

namespace velko {
namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool name_before(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return upper(x) < upper(y); });
}

std::string hexadecimal4(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value & 0xFFFFu));
  return text;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> child_environment_variables(const SystemEnvironmentValues& values) {
  std::vector<std::pair<std::string, std::string>> variables;
  const auto add = [&](const char* name, const std::string& value) {
    // A zero inside a value would end the block's entry early.
    if (!value.empty() && value.find('\0') == std::string::npos) variables.emplace_back(name, value);
  };
  const std::string& windows = values.windowsFolder;
  const std::string& system = values.systemFolder;
  add("SystemRoot", windows);
  add("windir", windows);
  // "C:" of "C:\Windows".
  if (windows.size() >= 2 && windows[1] == ':') add("SystemDrive", windows.substr(0, 2));
  if (!system.empty()) {
    add("ComSpec", path_join(system, "cmd.exe"));
    // The system's own search path, as a fresh Windows installation sets it.
    std::string path = system;
    if (!windows.empty()) path += ";" + windows;
    path += ";" + path_join(system, "Wbem");
    path += ";" + path_join(system, "WindowsPowerShell\\v1.0\\");
    add("PATH", path);
  }
  add("PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC");
  add("OS", "Windows_NT");
  add("TEMP", values.temporaryFolder);
  add("TMP", values.temporaryFolder);
  add("ProgramData", values.programData);
  add("ALLUSERSPROFILE", values.programData);
  add("ProgramFiles", values.programFiles);
  add("ProgramW6432", values.programFiles);
  add("ProgramFiles(x86)", values.programFilesX86);
  add("CommonProgramFiles", values.commonProgramFiles);
  add("CommonProgramW6432", values.commonProgramFiles);
  add("CommonProgramFiles(x86)", values.commonProgramFilesX86);
  add("PUBLIC", values.publicFolder);
  add("USERPROFILE", values.userProfile);
  if (values.userProfile.size() >= 2 && values.userProfile[1] == ':') {
    add("HOMEDRIVE", values.userProfile.substr(0, 2));
    add("HOMEPATH", values.userProfile.size() > 2 ? values.userProfile.substr(2) : std::string("\\"));
  }
  add("APPDATA", values.appData);
  add("LOCALAPPDATA", values.localAppData);
  add("COMPUTERNAME", values.computerName);
  add("USERNAME", values.userName);
  add("PROCESSOR_ARCHITECTURE", values.processorArchitecture);
  if (values.processorCount != 0) add("NUMBER_OF_PROCESSORS", std::to_string(values.processorCount));
  if (values.processorLevel != 0) add("PROCESSOR_LEVEL", std::to_string(values.processorLevel));
  if (values.processorRevision != 0) add("PROCESSOR_REVISION", hexadecimal4(values.processorRevision));
  for (const auto& [name, value] : values.testVariables) {
    if (name.starts_with("VELKO_") && name.find('=') == std::string::npos) add(name.c_str(), value);
  }
  std::sort(variables.begin(), variables.end(),
            [](const auto& a, const auto& b) { return name_before(a.first, b.first); });
  return variables;
}

std::u16string child_environment_block(const SystemEnvironmentValues& values) {
  std::u16string block;
  for (const auto& [name, value] : child_environment_variables(values)) {
    block += utf8_to_utf16(name + "=" + value);
    block += u'\0';
  }
  // An empty block still needs its two zeros.
  if (block.empty()) block += u'\0';
  block += u'\0';
  return block;
}

}  // namespace velko
