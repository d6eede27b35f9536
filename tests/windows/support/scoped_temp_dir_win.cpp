#include "support/scoped_temp_dir.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>

#include "win/directories.h"
#include "win/environment.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::test {
namespace {

void remove_tree(const std::wstring& path) {
  std::wstring from = path;
  from.push_back(L'\0');  // SHFileOperation wants a double-NUL list
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  ::SHFileOperationW(&operation);
}

}  // namespace

ScopedTempDir::ScopedTempDir() {
  static std::atomic<unsigned> counter{0};
  wchar_t base[MAX_PATH + 1];
  ::GetTempPathW(MAX_PATH + 1, base);
  const std::wstring name = std::wstring(base) + L"velko-测试-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(counter++);
  if (!::CreateDirectoryW(name.c_str(), nullptr)) ADD_FAILURE() << "cannot create temp folder";
  path_ = win::narrow(name);
}

ScopedTempDir::~ScopedTempDir() { remove_tree(win::wide(path_)); }

std::string environment_text(const std::string& name) {
  return win::environment_value(win::wide(name).c_str()).value_or("");
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
  const auto old = win::environment_value(win::wide(name_).c_str());
  hadValue_ = old.has_value();
  oldValue_ = old.value_or("");
  ::SetEnvironmentVariableW(win::wide(name_).c_str(), value ? win::wide(*value).c_str() : nullptr);
}

ScopedEnvironment::~ScopedEnvironment() {
  const std::wstring wideName = win::wide(name_);
  ::SetEnvironmentVariableW(wideName.c_str(), hadValue_ ? win::wide(oldValue_).c_str() : nullptr);
}

void write_file(const std::string& path, const std::string& bytes) {
  win::unique_file file(
      ::CreateFileW(win::wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file) << "cannot create " << path;
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ASSERT_EQ(written, bytes.size());
}

std::string read_file(const std::string& path) {
  win::unique_file file(::CreateFileW(win::wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    ADD_FAILURE() << "cannot open " << path;
    return {};
  }
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

bool file_exists(const std::string& path) { return win::path_exists(path); }

void make_directories(const std::string& path) {
  const std::wstring wide = win::wide(path);
  for (std::size_t i = 3; i <= wide.size(); ++i) {
    if (i == wide.size() || wide[i] == L'\\') ::CreateDirectoryW(wide.substr(0, i).c_str(), nullptr);
  }
}

}  // namespace velko::test
