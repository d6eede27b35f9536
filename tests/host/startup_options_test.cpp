#include "app/startup_options.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

StartupOptions parse(std::vector<std::string> args) {
  args.insert(args.begin(), "C:\\Users\\u\\Downloads\\VelkoTarnOnlineInstaller.exe");
  return parse_startup_options(args);
}

TEST(StartupOptions, RoleFlags) {
  EXPECT_FALSE(parse({}).launchMode);
  EXPECT_TRUE(parse({"--launch-main"}).launchMode);
  EXPECT_FALSE(parse({"--Launch-Main"}).launchMode);
  EXPECT_FALSE(parse({"--launch-main=1"}).launchMode);

  const auto both = parse({"--resume", "--installer"});
  EXPECT_TRUE(both.installerMode);
  EXPECT_TRUE(both.autoContinue);
  const auto installer = parse({"--installer"});
  EXPECT_TRUE(installer.installerMode);
  EXPECT_TRUE(installer.autoContinue);
  const auto resume = parse({"--resume"});
  EXPECT_FALSE(resume.installerMode);
  EXPECT_TRUE(resume.autoContinue);
}

TEST(StartupOptions, ProgramPathCountsAsAnArgument) {
  EXPECT_TRUE(parse_startup_options({"--launch-main"}).launchMode);
}

TEST(StartupOptions, InstallDirFirstWithValueWins) {
  EXPECT_EQ(parse({"--install-dir", "D:\\A", "--install-dir", "D:\\B"}).installDir, "D:\\A");
  EXPECT_FALSE(parse({"--install-dir"}).installDir.has_value());
  EXPECT_EQ(parse({"--install-dir", "--installer"}).installDir, "--installer");
  EXPECT_EQ(parse({"--install-dir", ""}).installDir, "");
}

TEST(StartupOptions, ProcessIdParsing) {
  EXPECT_EQ(parse_process_id("123"), 123u);
  EXPECT_EQ(parse_process_id("+123"), 123u);
  EXPECT_EQ(parse_process_id("4294967295"), 4294967295u);
  EXPECT_EQ(parse_process_id("0"), 0u);
  for (const char* bad : {"-1", "12x", "4294967296", "", "+", "++1", " 1", "1 ", "0x10", "99999999999999999999"}) {
    EXPECT_FALSE(parse_process_id(bad).has_value()) << bad;
  }
}

TEST(StartupOptions, WaitForProcessRules) {
  EXPECT_EQ(process_to_wait_for(parse({"--wait-for-process", "+123"}), 7), 123u);
  EXPECT_FALSE(process_to_wait_for(parse({"--wait-for-process"}), 7));
  EXPECT_FALSE(process_to_wait_for(parse({"--wait-for-process", "0"}), 7));
  EXPECT_FALSE(process_to_wait_for(parse({"--wait-for-process", "7"}), 7));
  EXPECT_FALSE(process_to_wait_for(parse({"--wait-for-process", "-1"}), 7));
  // Only the first occurrence that has a value counts, even when it does not parse.
  EXPECT_FALSE(process_to_wait_for(parse({"--wait-for-process", "x", "--wait-for-process", "9"}), 7));
  EXPECT_EQ(process_to_wait_for(parse({"--launch-main", "--wait-for-process", "9"}), 7), 9u);
}

TEST(StartupOptions, LaunchInstallDirectory) {
  EXPECT_EQ(launch_install_directory("X:\\Tools\\运行组件\\launcher.exe"), "X:\\Tools");
  EXPECT_EQ(launch_install_directory("X:\\Tools\\launcher.exe"), "X:\\Tools");
  EXPECT_EQ(launch_install_directory("X:\\launcher.exe"), "X:\\");
  EXPECT_EQ(launch_install_directory("X:\\运行组件\\launcher.exe"), "X:\\");
  EXPECT_EQ(launch_install_directory("X:\\运行组件2\\launcher.exe"), "X:\\运行组件2");
  EXPECT_FALSE(launch_install_directory("launcher.exe"));
}

}  // namespace
}  // namespace velko
