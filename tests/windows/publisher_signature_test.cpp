// Only the publisher's signed workbench installer is staged and started: the stand-in installer
// as the test build signs it (the first pinned key), the same signed by the second pinned key, by
// a key of the same trusted root that is not pinned, unsigned, and signed and then changed
// (tests/tools/sign_stand_in.sh). Under Wine the chain to a trusted root is not enforced for
// SHA-256 signatures, so a foreign signer is caught by the key pin alone, which is what is shown.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "download/publisher_signature.h"
#include "download/staging.h"
#include "install/workbench_installer.h"
#include "stand_in_versions.h"
#include "support/installation_fixture.h"
#include "support/paths.h"
#include "support/scoped_temp_dir.h"
#include "support/test_service.h"
#include "win/file_digest.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

using test::file_exists;
using test::read_file;
using test::TestService;
using test::write_file;

constexpr char kStandInVersion[] = VELKO_STANDIN_WORKBENCH_VERSION;
constexpr char kCopyRefused[] = "安装程序独立运行副本不是制作方签名的安装包，文件不会执行。";

struct Variant {
  const char* name;  // in the build's test-publisher/installers folder
  bool accepted;     // with the test build's pinned keys
};
constexpr Variant kVariants[] = {
    {"first", true}, {"second", true}, {"foreign", false}, {"unsigned", false}, {"changed", false},
};

std::string variant_path(const std::string& name) {
  return win::narrow(test::build_dir()) + "\\test-publisher\\installers\\" + name + ".exe";
}

std::string variant_bytes(const std::string& name) {
  std::string bytes = read_file(variant_path(name));
  EXPECT_GT(bytes.size(), 1000u) << name << ": build the windows preset (VELKO_PUBLISHER_KEYS=test)";
  return bytes;
}

std::string sha256_text(const std::string& bytes) {
  const auto digest = win::sha256_of_bytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  EXPECT_TRUE(digest);
  return digest.value_or("");
}

win::unique_file open_shared_for_reading(const std::string& path) {
  return win::unique_file(::CreateFileW(win::wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(PublisherSignature, TheTestBuildPinsTwoKeysAndSignsTheStandInWithTheFirst) {
  ASSERT_EQ(built_in_publisher_keys().size(), 2u);
  EXPECT_EQ(read_file(win::narrow(test::built_program(L"VelkoTarnWorkbenchSetupStandIn.exe"))), variant_bytes("first"));
}

// The verdict is the held file's: each file is named by the path of one with the other verdict.
TEST(PublisherSignature, OnlyAValidSignatureOfAPinnedKeyPassesThroughTheHeldHandle) {
  for (const Variant& variant : kVariants) {
    SCOPED_TRACE(variant.name);
    const win::unique_file held = open_shared_for_reading(variant_path(variant.name));
    ASSERT_TRUE(held);
    const std::string misleading = variant_path(variant.accepted ? "unsigned" : "first");
    const auto checked = check_publisher_signature(held.get(), misleading, built_in_publisher_keys(), "拒绝");
    EXPECT_EQ(checked ? std::string("<accepted>") : checked.error(), variant.accepted ? "<accepted>" : "拒绝");
    // A build that pins no key asks for no signature.
    EXPECT_TRUE(check_publisher_signature(held.get(), misleading, {}, "拒绝"));
  }
}

class PublisherStaging : public ::testing::Test {
 protected:
  void SetUp() override { TestService::reset(); }

  PackageDescriptor serve(const std::string& fileName, const std::string& bytes, bool pinned) {
    TestService::put_file(fileName, bytes);
    PackageDescriptor package{fileName, "https://" + TestService::host() + "/v1/downloads/" + fileName,
                              sha256_text(bytes), bytes.size()};
    if (pinned) package.publisherKeys.assign(built_in_publisher_keys().begin(), built_in_publisher_keys().end());
    return package;
  }
  std::string in_downloads(const std::string& name) const { return temp_.join("VelkoInstaller\\downloads\\" + name); }
  std::expected<void, std::string> stage(const PackageDescriptor& package) {
    return stage_packages(ComponentKind::Workbench, component_display_name(ComponentKind::Workbench, kStandInVersion),
                          {package}, staged_, channel_.first);
  }

  test::ScopedTempDir temp_;
  test::ScopedEnvironment programData_{"VELKO_TEST_PROGRAM_DATA", temp_.path()};
  std::pair<EventSender, EventReceiver> channel_ = make_event_channel();
  StagedFiles staged_;
};

// The policy's digest always matches the served file (for "changed", the changed bytes): only the
// signature decides. A refused download is deleted, partial file and all, and never gets its name.
TEST_F(PublisherStaging, ADownloadIsStagedOnlyWhenAPinnedKeySignedIt) {
  for (const Variant& variant : kVariants) {
    SCOPED_TRACE(variant.name);
    const std::string name = std::string(variant.name) + "-setup.exe";
    const auto result = stage(serve(name, variant_bytes(variant.name), true));
    if (variant.accepted) {
      ASSERT_TRUE(result) << result.error();
      EXPECT_EQ(read_file(in_downloads(name)), variant_bytes(variant.name));
    } else {
      ASSERT_FALSE(result);
      EXPECT_EQ(result.error(), name + " 非制作方签名，文件不会执行。");
      EXPECT_FALSE(file_exists(in_downloads(name)));
      EXPECT_FALSE(file_exists(in_downloads(std::string(variant.name) + "-setup.partial")));
    }
    EXPECT_EQ(staged_.contains(ComponentKind::Workbench), variant.accepted);
    staged_.clear();
  }
}

TEST_F(PublisherStaging, WithoutPinnedKeysAnyFileOfThePolicysDigestIsStagedAsBefore) {
  for (const Variant& variant : kVariants) {
    SCOPED_TRACE(variant.name);
    const std::string name = std::string(variant.name) + "-setup.exe";
    const auto result = stage(serve(name, variant_bytes(variant.name), false));
    ASSERT_TRUE(result) << result.error();
    EXPECT_EQ(read_file(in_downloads(name)), variant_bytes(variant.name));
  }
}

// A finished file left from a build that pinned nothing is not reused by one that pins keys.
TEST_F(PublisherStaging, AFinishedFileOnDiskIsCheckedBeforeItIsReused) {
  for (const Variant& variant : kVariants) {
    SCOPED_TRACE(variant.name);
    const std::string name = std::string(variant.name) + "-setup.exe";
    const PackageDescriptor unpinned = serve(name, variant_bytes(variant.name), false);
    ASSERT_TRUE(stage(unpinned));
    TestService::reset();
    PackageDescriptor pinned = unpinned;
    pinned.publisherKeys.assign(built_in_publisher_keys().begin(), built_in_publisher_keys().end());
    const auto result = stage(pinned);
    EXPECT_TRUE(TestService::requests().empty());
    EXPECT_EQ(result ? std::string("<staged>") : result.error(),
              variant.accepted ? "<staged>" : name + " 非制作方签名，文件不会执行。");
    EXPECT_EQ(file_exists(in_downloads(name)), variant.accepted);
  }
}

// The private copy is checked again through the handle that starts it: a staged file that is not
// the publisher's never runs, so nothing is installed.
TEST(PublisherInstallerRun, OnlyACopySignedByAPinnedKeyIsStarted) {
  for (const bool pinned : {true, false}) {
    for (const Variant& variant : kVariants) {
      SCOPED_TRACE(std::string(variant.name) + (pinned ? " pinned" : " unpinned"));
      test::ScopedTempDir dir;
      test::ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", dir.join("ProgramData")};
      const std::string staged = dir.join("VelkoTarnWorkbench-Setup-v" + std::string(kStandInVersion) + ".exe");
      const std::string install = dir.join("Velko 工作台");
      const std::string bytes = variant_bytes(variant.name);
      write_file(staged, bytes);
      const ReleasePolicy policy{kStandInVersion, "https://h/x", sha256_text(bytes), bytes.size()};
      const std::span<const PublisherKey> keys =
          pinned ? built_in_publisher_keys() : std::span<const PublisherKey>();
      const auto result =
          run_workbench_installer_at(staged, install, policy, std::chrono::system_clock::now(), keys);
      // "changed" differs from the signed stand-in only in its DOS stub: it installs when unpinned.
      const bool runs = variant.accepted || !pinned;
      EXPECT_EQ(result ? std::string("<installed>") : result.error(), runs ? "<installed>" : kCopyRefused);
      EXPECT_EQ(check_installed_workbench(install, kStandInVersion),
                runs ? WorkbenchInstallState::Current : WorkbenchInstallState::None);
    }
  }
}

}  // namespace
}  // namespace velko
