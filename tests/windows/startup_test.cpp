#include <windows.h>

#include <gtest/gtest.h>

#include "support/paths.h"

TEST(Startup, Placeholder) { EXPECT_FALSE(velko::test::built_program(L"VelkoTarnOnlineInstaller.exe").empty()); }
