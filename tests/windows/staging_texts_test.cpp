// Staging and the download folder where the file system works against them: a resumed download's
// first report, a link where the download folder belongs, and files the staging cannot clear.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "download/staging.h"
#include "install/webview2_bootstrapper.h"
#include "support/installation_fixture.h"
#include "support/links.h"
#include "support/scoped_temp_dir.h"
#include "support/test_service.h"
#include "win/data_folder.h"
#include "win/file_digest.h"
#include "win/file_identity.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

using test::file_exists;
using test::read_file;
using test::TestService;
using test::write_file;

// Bytes that differ from offset to offset, so a misplaced piece changes the digest.
std::string numbered_bytes(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t x = 0x9E3779B9u;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>(x >> 24);
  }
  return bytes;
}

std::string sha256_text(const std::string& bytes) {
  const auto digest = win::sha256_of_bytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  EXPECT_TRUE(digest);
  return digest.value_or("");
}

bool running_under_wine() { return !test::wine_unix_path("C:\\").empty(); }

class StagingTexts : public ::testing::Test {
 protected:
  void SetUp() override { TestService::reset(); }

  PackageDescriptor serve(const std::string& fileName, const std::string& bytes) {
    TestService::put_file(fileName, bytes);
    return PackageDescriptor{fileName, "https://" + TestService::host() + "/v1/downloads/" + fileName,
                             sha256_text(bytes), bytes.size()};
  }

  std::string downloads() const { return temp_.join("VelkoInstaller\\downloads"); }
  std::string in_downloads(const std::string& name) const { return downloads() + "\\" + name; }

  std::expected<void, std::string> stage(const PackageDescriptor& package) {
    return stage_packages(ComponentKind::Workbench, component_display_name(ComponentKind::Workbench, "1.4.2"), {package},
                          staged_, channel_.first);
  }
  std::vector<WorkerEvent> events() { return test::drain_events(channel_.second); }

  test::ScopedTempDir temp_;
  test::ScopedEnvironment programData_{"VELKO_TEST_PROGRAM_DATA", temp_.path()};
  std::pair<EventSender, EventReceiver> channel_ = make_event_channel();
  StagedFiles staged_;
};

// Three quarters of the file are on disk: the first report, before any new byte arrives, says 75 %.
TEST_F(StagingTexts, AResumedDownloadsFirstReportCountsTheBytesOnDisk) {
  const std::string bytes = numbered_bytes(400'000);
  const PackageDescriptor package = serve("a.exe", bytes);
  ASSERT_TRUE(win::downloads_folder());
  write_file(in_downloads("a.partial"), bytes.substr(0, 300'000));
  const auto result = stage(package);
  ASSERT_TRUE(result) << result.error();
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "bytes=300000-");
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
  const auto published = events();
  ASSERT_GE(published.size(), 3u);
  const std::string name = component_display_name(ComponentKind::Workbench, "1.4.2");
  EXPECT_EQ(published[0], WorkerEvent::download_progress(ComponentKind::Workbench, 75,
                                                         "正在下载 " + name + " \u00B7 75% \u00B7 0.4 MB"));
  for (std::size_t i = 1; i + 1 < published.size(); ++i) {
    EXPECT_GE(published[i].percent, published[i - 1].percent) << i;
  }
  EXPECT_EQ(published[published.size() - 2].percent, 100);
  EXPECT_EQ(published.back().tag, WorkerEventTag::ComponentReady);
}

// A link put where "downloads" belongs must never receive the program's files: it is removed and
// a real folder made. Wine removes a Unix link to a folder that holds something only as a
// failure, so there the folder is refused instead; what the link leads to is untouched either way.
TEST_F(StagingTexts, ALinkWhereTheDownloadFolderBelongsIsRemovedNotWrittenThrough) {
  ASSERT_TRUE(win::downloads_folder());
  ASSERT_TRUE(::RemoveDirectoryW(win::wide(downloads()).c_str()));
  test::make_directories(temp_.join("elsewhere"));
  write_file(temp_.join("elsewhere\\kept.txt"), "kept");
  test::make_directory_link(downloads(), temp_.join("elsewhere"));

  const auto folder = win::downloads_folder();
  const auto written = write_out_webview2_bootstrapper();
  if (folder) {
    EXPECT_EQ(*folder, downloads());
    const auto plain = win::is_plain_directory(downloads());
    EXPECT_TRUE(plain && *plain) << "the link is still there";
    ASSERT_TRUE(written) << written.error();
    EXPECT_EQ(*written, in_downloads("MicrosoftEdgeWebview2Setup.exe"));
  } else {
    EXPECT_TRUE(folder.error().starts_with("创建下载目录失败：")) << folder.error();
    EXPECT_FALSE(written);
    EXPECT_TRUE(running_under_wine()) << "Windows removes the link: " << folder.error();
    std::cout << "[   NOTE   ] the link was refused, not removed: " << folder.error() << "\n";
  }
  EXPECT_FALSE(file_exists(temp_.join("elsewhere\\MicrosoftEdgeWebview2Setup.exe")));
  EXPECT_FALSE(file_exists(temp_.join("elsewhere\\MicrosoftEdgeWebview2Setup.exe.part")));
  EXPECT_EQ(read_file(temp_.join("elsewhere\\kept.txt")), "kept");
}

// Opens `path` shared and maps it for reading, as a viewer or a scanner would, then lets go of the
// file handle: the mapping alone stays. A file with such a mapping cannot be truncated.
class ReadOnlyMapping {
 public:
  explicit ReadOnlyMapping(const std::string& path) {
    const win::unique_file file(::CreateFileW(win::wide(path).c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    if (!file) return;
    mapping_.reset(::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping_) view_ = ::MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0);
  }
  ~ReadOnlyMapping() {
    if (view_ != nullptr) ::UnmapViewOfFile(view_);
  }
  ReadOnlyMapping(const ReadOnlyMapping&) = delete;
  ReadOnlyMapping& operator=(const ReadOnlyMapping&) = delete;
  bool mapped() const { return view_ != nullptr; }

 private:
  win::unique_handle mapping_;
  const void* view_ = nullptr;
};

// A partial file as long as the package but with other bytes must be emptied before it is
// fetched again; a mapping of it stops that, and nothing is asked of the server.
TEST_F(StagingTexts, APartialFileThatCannotBeEmptiedIsReported) {
  const std::string bytes = numbered_bytes(100'000);
  const PackageDescriptor package = serve("a.exe", bytes);
  ASSERT_TRUE(win::downloads_folder());
  std::string wrong = bytes;
  wrong[10] ^= 1;
  write_file(in_downloads("a.partial"), wrong);
  std::expected<void, std::string> result;
  {
    const ReadOnlyMapping mapping(in_downloads("a.partial"));
    ASSERT_TRUE(mapping.mapped()) << ::GetLastError();
    result = stage(package);
  }
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.error().starts_with("清理无效下载文件失败：")) << result.error();
  EXPECT_TRUE(result.error().ends_with("(os error 1224)")) << result.error();
  EXPECT_TRUE(TestService::requests().empty());
  EXPECT_TRUE(read_file(in_downloads("a.partial")) == wrong);
  EXPECT_FALSE(file_exists(in_downloads("a.exe")));
  EXPECT_TRUE(staged_.empty());
}

// A leftover temporary bootstrapper that is mapped can be neither removed nor overwritten: the
// system refuses to delete it, it stays as it was and nothing is written out.
TEST_F(StagingTexts, TheBootstrapperIsNotWrittenOverAMappedTemporaryFile) {
  ASSERT_TRUE(win::downloads_folder());
  const std::string part = in_downloads("MicrosoftEdgeWebview2Setup.exe.part");
  write_file(part, "an older copy, mapped");
  std::expected<std::string, std::string> written;
  {
    const ReadOnlyMapping mapping(part);
    ASSERT_TRUE(mapping.mapped()) << ::GetLastError();
    written = write_out_webview2_bootstrapper();
  }
  ASSERT_FALSE(written);
  EXPECT_TRUE(written.error().starts_with("清理 WebView2 临时文件失败：")) << written.error();
  EXPECT_FALSE(file_exists(in_downloads("MicrosoftEdgeWebview2Setup.exe")));
  EXPECT_EQ(read_file(part), "an older copy, mapped");
}

}  // namespace
}  // namespace velko
