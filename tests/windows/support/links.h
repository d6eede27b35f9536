#pragma once

#include <string>

namespace velko::test {

// Makes `link` a symbolic link to the directory `target` (both UTF-8 Windows paths). On
// Windows through CreateSymbolicLinkW; under Wine, whose own links do not resolve, as a
// Unix symbolic link, which Wine shows as a link that resolves. Fails the current test
// when neither works.
void make_directory_link(const std::string& link, const std::string& target);

}  // namespace velko::test
