#include <gtest/gtest.h>

#include <string>

#include "common/http_header.h"
#include "velko_version.h"

namespace velko {
namespace {

// The service's contract fixes the user agent text; it must not follow the program's version.
TEST(ProductVersionTest, UserAgentIsTheServiceContractText) {
  EXPECT_STREQ(kServiceUserAgent, "VelkoOnlineInstaller/1.0.0");
}

TEST(ProductVersionTest, VersionMacrosAgree) {
  EXPECT_STREQ(VELKO_FILE_VERSION_TEXT, "1.0.0.0");
  EXPECT_EQ(std::to_string(VELKO_VERSION_MAJOR) + "." + std::to_string(VELKO_VERSION_MINOR) + "." +
                std::to_string(VELKO_VERSION_PATCH) + "." + std::to_string(VELKO_VERSION_TWEAK),
            VELKO_FILE_VERSION_TEXT);
}

TEST(ProductVersionTest, FileDescriptionIsTheProductText) {
  EXPECT_STREQ(VELKO_FILE_DESCRIPTION_TEXT, "VelkoTarn工作台 在线安装程序");
}

}  // namespace
}  // namespace velko
