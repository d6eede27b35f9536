#pragma once

#include <optional>
#include <string>

namespace velko::test {

// A fresh folder (with a Chinese component in its name) removed with everything in it
// when the object goes away.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }  // UTF-8 Windows path
  std::string join(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// A variable of this process's environment as UTF-8; empty when it is unset or empty.
std::string environment_text(const std::string& name);

// Sets an environment variable of this process (inherited by its children) for the scope, or
// removes it for the scope when given no value.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::optional<std::string>& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  bool hadValue_ = false;
  std::string oldValue_;
};

// Whole-file helpers for tests (binary, UTF-8 paths). Failures fail the current test.
void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
void make_directories(const std::string& path);

}  // namespace velko::test
