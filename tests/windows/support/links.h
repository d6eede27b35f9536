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

}  // namespace velko::test
