#include <gtest/gtest.h>

#include <string>

#include "policy/policy_request.h"
#include "velko_version.h"

namespace velko {
namespace {

// The user agent is derived from the program's version; the service sees exactly this text.
TEST(ProductVersionTest, UserAgentCarriesTheThreeNumberVersion) {
  EXPECT_STREQ(kServiceUserAgent, "VelkoOnlineInstaller/1.0.0");
  EXPECT_STREQ(VELKO_VERSION_TEXT, "1.0.0");
  EXPECT_STREQ(VELKO_FILE_VERSION_TEXT, "1.0.0.0");
  EXPECT_EQ(std::to_string(VELKO_VERSION_MAJOR) + "." + std::to_string(VELKO_VERSION_MINOR) + "." +
                std::to_string(VELKO_VERSION_PATCH) + "." + std::to_string(VELKO_VERSION_TWEAK),
            VELKO_FILE_VERSION_TEXT);
}

}  // namespace
}  // namespace velko
