#pragma once

#include <string>

namespace velko::test {

// Makes `link` a symbolic link to the directory `target` (both UTF-8 Windows paths). On
// Windows through CreateSymbolicLinkW; under Wine, whose own links do not resolve, as a
// Unix symbolic link, which Wine shows as a link that resolves. Fails the current test
// when neither works.
void make_directory_link(const std::string& link, const std::string& target);
// The same for a link to the file `target`.
void make_file_link(const std::string& link, const std::string& target);
// Removes a link made by make_file_link itself, never what it leads to (Wine's DeleteFile
// deletes the file a Unix link leads to). Nothing there is no error.
void remove_file_link(const std::string& link);

// The Unix path Wine keeps a Windows path at; empty on Windows.
std::string wine_unix_path(const std::string& path);

// Lets Everyone change the file or folder (write, delete, change permissions), the way a
// folder that a standard user made or loosened looks to the program. On Windows through its
// DACL; under Wine, which keeps no descriptors and reads them back from the Unix mode bits,
// through `chmod o+w`. Fails the current test when neither works.
void let_everyone_change(const std::string& path);

}  // namespace velko::test
