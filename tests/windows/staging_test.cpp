// Staging against the live loopback download service: files on disk, the requests the service
// recorded and the events the staging published.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "download/staging.h"
#include "install/webview2_bootstrapper.h"
#include "support/installation_fixture.h"
#include "support/scoped_temp_dir.h"
#include "support/test_service.h"
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

std::string pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  std::uint32_t x = 2463534242u ^ seed;
  for (std::size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<char>(x);
  }
  return bytes;
}

std::string sha256_text(const std::string& bytes) {
  const auto digest =
      win::sha256_of_bytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  EXPECT_TRUE(digest);
  return digest.value_or("");
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

constexpr char kVersionText[] = "1.4.2";  // the release the progress texts name
constexpr char kHeldElsewhere[] = "另一个助手正在下载同一文件，请等待其完成后重试。";

// Opens a file as another copy of the program would while writing it: shared with nobody.
win::unique_file hold_unshared(const std::string& path) {
  return win::unique_file(::CreateFileW(win::wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

class StagingTest : public ::testing::Test {
 protected:
  void SetUp() override { TestService::reset(); }

  // Serves `bytes` as `servedName` and describes it as the local file `fileName`.
  PackageDescriptor serve(const std::string& fileName, const std::string& servedName, const std::string& bytes,
                          bool secure = true) {
    TestService::put_file(servedName, bytes);
    const std::string base = secure ? "https://" + TestService::host()
                                    : "http://" + TestService::host() + ":" + std::to_string(TestService::http_port());
    return PackageDescriptor{fileName, base + served_path(servedName), sha256_text(bytes), bytes.size()};
  }
  static std::string served_path(const std::string& servedName) { return "/v1/downloads/" + servedName; }

  std::string downloads() const { return temp_.join("VelkoInstaller\\downloads"); }
  std::string in_downloads(const std::string& name) const { return downloads() + "\\" + name; }
  void prepare_downloads() const { test::make_directories(downloads()); }

  std::expected<void, std::string> stage(const std::vector<PackageDescriptor>& packages,
                                         ComponentKind kind = ComponentKind::Workbench) {
    return stage_packages(kind, component_display_name(kind, kVersionText), packages, staged_, channel_.first);
  }

  std::vector<WorkerEvent> events() { return test::drain_events(channel_.second); }

  test::ScopedTempDir temp_;
  test::ScopedEnvironment programData_{"VELKO_TEST_PROGRAM_DATA", temp_.path()};
  std::pair<EventSender, EventReceiver> channel_ = make_event_channel();
  StagedFiles staged_;
};

const std::string kMb = " MB";

TEST_F(StagingTest, AVerifiedFinalFileIsReusedWithoutAnyRequest) {
  const std::string bytes = pattern(300'000, 1);
  for (const bool upperCase : {false, true}) {
    SCOPED_TRACE(upperCase);
    TestService::reset();
    PackageDescriptor package = serve("工作台安装包.exe", "setup.exe", bytes);
    if (!upperCase) package.sha256 = lower(package.sha256);
    prepare_downloads();
    write_file(in_downloads("工作台安装包.exe"), bytes);
    const auto result = stage({package});
    ASSERT_TRUE(result) << result.error();
    EXPECT_TRUE(TestService::requests().empty());
    const auto published = events();
    ASSERT_EQ(published.size(), 2u);
    EXPECT_EQ(published[0], WorkerEvent::download_progress(ComponentKind::Workbench, 100,
                                                           "正在下载 " +
                                                               component_display_name(ComponentKind::Workbench, kVersionText) +
                                                               " · 100% · 0.3 MB"));
    EXPECT_EQ(published[1], WorkerEvent::component_ready(ComponentKind::Workbench));
    EXPECT_EQ(staged_.at(ComponentKind::Workbench), std::vector<std::string>{in_downloads("工作台安装包.exe")});
  }
}

TEST_F(StagingTest, AWrongFinalFileIsReplacedAfterAFreshDownload) {
  const std::string bytes = pattern(500'000, 2);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  prepare_downloads();
  std::string wrong = bytes;
  wrong[1234] ^= 0x55;
  write_file(in_downloads("a.exe"), wrong);
  const auto result = stage({package});
  ASSERT_TRUE(result) << result.error();
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, served_path("a.exe"));
  EXPECT_EQ(requests[0].range, "");
  EXPECT_EQ(requests[0].userAgent, "VelkoOnlineInstaller/1.0.0");
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
  EXPECT_FALSE(file_exists(in_downloads("a.partial")));
}

TEST_F(StagingTest, ACompletePartialFileIsPromotedWithoutARequest) {
  const std::string bytes = pattern(400'000, 3);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  prepare_downloads();
  write_file(in_downloads("a.partial"), bytes);
  const auto result = stage({package});
  ASSERT_TRUE(result) << result.error();
  EXPECT_TRUE(TestService::requests().empty());
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
  EXPECT_FALSE(file_exists(in_downloads("a.partial")));
  const auto published = events();
  ASSERT_EQ(published.size(), 2u);
  EXPECT_EQ(published[0].percent, 100);
  EXPECT_EQ(published[1].tag, WorkerEventTag::ComponentReady);
}

TEST_F(StagingTest, APartialFileLongerThanThePackageIsDeletedAndFetchedFromTheStart) {
  const std::string bytes = pattern(400'000, 4);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  prepare_downloads();
  write_file(in_downloads("a.partial"), bytes + "tail");
  const auto result = stage({package});
  ASSERT_TRUE(result) << result.error();
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "");
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
  EXPECT_FALSE(file_exists(in_downloads("a.partial")));
}

// The answer ends early: the size check names the shortfall, the bytes that arrived stay in the
// partial file and the next run asks for exactly the rest.
TEST_F(StagingTest, ACutConnectionIsIncompleteAndTheNextRunResumesFromTheBytesOnDisk) {
  const std::string bytes = pattern(3'000'000, 5);
  const PackageDescriptor package = serve("工作台.exe", "cut.exe", bytes);
  TestService::set_fault(served_path("cut.exe"), R"({"bodyBytes": 1200000, "times": 1})");
  const auto first = stage({package});
  ASSERT_FALSE(first);
  ASSERT_TRUE(file_exists(in_downloads("工作台.partial"))) << first.error();
  const std::string kept = read_file(in_downloads("工作台.partial"));
  EXPECT_EQ(first.error(), "工作台.exe 下载不完整：应为 3000000 字节，实际 " + std::to_string(kept.size()) + " 字节。");
  EXPECT_EQ(kept, bytes.substr(0, kept.size()));
  EXPECT_EQ(kept.size(), 1'200'000u);
  EXPECT_FALSE(file_exists(in_downloads("工作台.exe")));
  EXPECT_TRUE(staged_.empty());

  const auto second = stage({package});
  ASSERT_TRUE(second) << second.error();
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].range, "");
  EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(kept.size()) + "-");
  EXPECT_EQ(read_file(in_downloads("工作台.exe")), bytes);
  EXPECT_FALSE(file_exists(in_downloads("工作台.partial")));
}

// The digest covers the bytes on disk, not only the bytes received: a part kept from an earlier run
// that was changed before the resume makes the resumed download fail its check, and the run after
// that starts afresh.
TEST_F(StagingTest, AResumedDownloadWhosePartOnDiskChangedFailsItsCheck) {
  const std::string bytes = pattern(3'000'000, 21);
  const PackageDescriptor package = serve("工作台.exe", "cut.exe", bytes);
  TestService::set_fault(served_path("cut.exe"), R"({"bodyBytes": 1200000, "times": 1})");
  ASSERT_FALSE(stage({package}));
  std::string kept = read_file(in_downloads("工作台.partial"));
  ASSERT_EQ(kept.size(), 1'200'000u);
  kept[600'000] = static_cast<char>(kept[600'000] ^ 0x01);
  write_file(in_downloads("工作台.partial"), kept);

  const auto resumed = stage({package});
  ASSERT_FALSE(resumed);
  EXPECT_EQ(resumed.error(), "工作台.exe 校验失败，文件不会执行。");
  auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].range, "bytes=1200000-");
  EXPECT_FALSE(file_exists(in_downloads("工作台.exe")));
  EXPECT_EQ(read_file(in_downloads("工作台.partial")), kept + bytes.substr(1'200'000));
  EXPECT_TRUE(staged_.empty());

  const auto afresh = stage({package});
  ASSERT_TRUE(afresh) << afresh.error();
  requests = TestService::requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].range, "");
  EXPECT_EQ(read_file(in_downloads("工作台.exe")), bytes);
}

// Progress goes out per whole percent (at most one event per 100 ms), not per read: over 64 MiB,
// at most one event for each percent between the first event and the last.
TEST_F(StagingTest, ProgressIsSentPerWholePercentNotPerRead) {
  const std::string bytes = pattern(64 * 1'048'576, 22);
  const PackageDescriptor package = serve("big.exe", "big.exe", bytes, false);
  const auto result = stage({package});
  ASSERT_TRUE(result) << result.error();
  std::vector<std::int32_t> percents;
  for (const WorkerEvent& event : events()) {
    if (event.tag == WorkerEventTag::DownloadProgress) percents.push_back(event.percent);
  }
  ASSERT_GE(percents.size(), 2u);
  EXPECT_EQ(percents.front(), 0);
  EXPECT_EQ(percents.back(), 100);
  // Between the first and the last (the end of the package, sent regardless) every event shows a
  // new percent.
  for (std::size_t i = 1; i + 1 < percents.size(); ++i) EXPECT_GT(percents[i], percents[i - 1]) << i;
  EXPECT_LE(percents.size(), 102u);
}

// The connection is broken off (a reset) in the middle of the body. WinHTTP may report that as
// the end of the data (the size check then names the shortfall) or fail the read with its own
// code; either way the run fails, the bytes that arrived stay and the next run asks for the rest.
TEST_F(StagingTest, ABrokenConnectionKeepsWhatArrivedAndTheNextRunResumes) {
  for (const bool secure : {true, false}) {
    SCOPED_TRACE(secure ? "https" : "http");
    TestService::reset();
    ::DeleteFileW(win::wide(in_downloads("工作台.partial")).c_str());
    ::DeleteFileW(win::wide(in_downloads("工作台.exe")).c_str());
    const std::string bytes = pattern(3'000'000, secure ? 17 : 18);
    const PackageDescriptor package = serve("工作台.exe", "cut.exe", bytes, secure);
    TestService::set_fault(served_path("cut.exe"), R"({"cutAfter": 1200000, "delayMs": 2, "times": 1})");
    const auto first = stage({package});
    ASSERT_FALSE(first);
    ASSERT_TRUE(file_exists(in_downloads("工作台.partial"))) << first.error();
    const std::string kept = read_file(in_downloads("工作台.partial"));
    const bool incomplete =
        first.error() == "工作台.exe 下载不完整：应为 3000000 字节，实际 " + std::to_string(kept.size()) + " 字节。";
    const bool readFailed = first.error().starts_with("读取下载进度失败，错误码 ") ||
                            first.error().starts_with("下载数据失败，错误码 ");
    EXPECT_TRUE(incomplete || readFailed) << first.error();
    EXPECT_EQ(kept, bytes.substr(0, kept.size()));
    EXPECT_LE(kept.size(), 1'200'000u);

    const auto second = stage({package});
    ASSERT_TRUE(second) << second.error();
    const auto requests = TestService::requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, kept.empty() ? "" : "bytes=" + std::to_string(kept.size()) + "-");
    EXPECT_EQ(read_file(in_downloads("工作台.exe")), bytes);
  }
}

TEST_F(StagingTest, AResumedRequestAppendsAndCountsTheBytesOnDisk) {
  const std::string bytes = pattern(200'000, 6);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  prepare_downloads();
  write_file(in_downloads("a.partial"), bytes.substr(0, 1000));
  const auto result = stage({package});
  ASSERT_TRUE(result) << result.error();
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "bytes=1000-");
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
  const auto published = events();
  ASSERT_GE(published.size(), 3u);
  // 1,000 of 200,000 bytes: the first event already counts them.
  EXPECT_EQ(published[0].percent, 0);
  EXPECT_EQ(published[0], download_progress_event(DownloadProgressContext{0, 200'000, ComponentKind::Workbench,
                                                                          component_display_name(ComponentKind::Workbench, kVersionText),
                                                                          channel_.first},
                                                  1000));
  EXPECT_EQ(published[published.size() - 2].percent, 100);
  EXPECT_EQ(published.back().tag, WorkerEventTag::ComponentReady);
}

TEST_F(StagingTest, AWholeFileAnswerToAResumedRequestRestartsThePartialFile) {
  const std::string bytes = pattern(200'000, 7);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  TestService::set_fault(served_path("a.exe"), R"({"ignoreRange": true})");
  prepare_downloads();
  write_file(in_downloads("a.partial"), std::string(1000, 'x'));  // not the file's first bytes
  const auto result = stage({package});
  ASSERT_TRUE(result) << result.error();
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "bytes=1000-");
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
}

TEST_F(StagingTest, AnUnrequestedPartialAnswerCountsAsTheWholeFile) {
  const std::string bytes = pattern(200'000, 8);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  TestService::set_fault(served_path("a.exe"), R"({"unrequested206": true})");
  prepare_downloads();
  write_file(in_downloads("a.partial"), "");
  const auto result = stage({package});
  ASSERT_TRUE(result) << result.error();
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "");
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
}

TEST_F(StagingTest, RefusedAnswersLeaveThePartialFileUnchanged) {
  const std::string bytes = pattern(200'000, 9);
  for (const int status : {404, 416}) {
    SCOPED_TRACE(status);
    TestService::reset();
    const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
    TestService::set_fault(served_path("a.exe"), "{\"status\": " + std::to_string(status) + "}");
    prepare_downloads();
    write_file(in_downloads("a.partial"), bytes.substr(0, 1000));
    const auto result = stage({package});
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), "下载服务器返回 HTTP " + std::to_string(status) + "。");
    EXPECT_EQ(read_file(in_downloads("a.partial")), bytes.substr(0, 1000));
    EXPECT_FALSE(file_exists(in_downloads("a.exe")));
    EXPECT_TRUE(staged_.empty());
  }
}

TEST_F(StagingTest, AServerSendingTooMuchIsCutOffAndReportedIncomplete) {
  const std::string bytes = pattern(2'000'000, 11);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  TestService::set_fault(served_path("a.exe"), R"({"extraBytes": 40000000})");
  const auto result = stage({package});
  ASSERT_FALSE(result);
  const std::string kept = read_file(in_downloads("a.partial"));
  EXPECT_GT(kept.size(), bytes.size());
  // Reading stops within one read of the expected size, not at the end of what the server sends.
  EXPECT_LE(kept.size(), bytes.size() + 1'048'576);
  EXPECT_EQ(result.error(), "a.exe 下载不完整：应为 2000000 字节，实际 " + std::to_string(kept.size()) + " 字节。");
  for (const WorkerEvent& event : events()) EXPECT_LE(event.percent, 100);
}

TEST_F(StagingTest, AFileThatFailsVerificationNeverGetsItsFinalName) {
  const std::string bytes = pattern(200'000, 12);
  PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  package.sha256 = sha256_text(pattern(200'000, 13));
  const auto first = stage({package});
  ASSERT_FALSE(first);
  EXPECT_EQ(first.error(), "a.exe 校验失败，文件不会执行。");
  EXPECT_FALSE(file_exists(in_downloads("a.exe")));
  EXPECT_EQ(read_file(in_downloads("a.partial")), bytes);
  // The next run finds it complete but wrong, deletes it and downloads afresh without a range.
  const auto second = stage({package});
  ASSERT_FALSE(second);
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].range, "");
}

TEST_F(StagingTest, TwoPackagesShowTheWholeSizeWithThePercentRunningAcross) {
  const std::string first = pattern(10'000'000, 14);
  const std::string second = pattern(20'000'000, 15);
  const PackageDescriptor a = serve("第一.bin", "one.bin", first);
  const PackageDescriptor b = serve("第二.bin", "two.bin", second, false);  // plain HTTP too
  const auto result = stage({a, b});
  ASSERT_TRUE(result) << result.error();
  EXPECT_EQ(read_file(in_downloads("第一.bin")), first);
  EXPECT_EQ(read_file(in_downloads("第二.bin")), second);
  EXPECT_EQ(staged_.at(ComponentKind::Workbench),
            (std::vector<std::string>{in_downloads("第一.bin"), in_downloads("第二.bin")}));
  const auto published = events();
  ASSERT_GE(published.size(), 5u);
  int previous = 0;
  for (std::size_t i = 0; i + 1 < published.size(); ++i) {
    const WorkerEvent& event = published[i];
    ASSERT_EQ(event.tag, WorkerEventTag::DownloadProgress);
    EXPECT_EQ(event.component, ComponentKind::Workbench);
    EXPECT_TRUE(event.text->ends_with("% · 30.0 MB")) << *event.text;
    EXPECT_EQ(*event.text, "正在下载 " + component_display_name(ComponentKind::Workbench, kVersionText) + " · " +
                               std::to_string(event.percent) + "% · 30.0 MB");
    EXPECT_GE(event.percent, previous);
    previous = event.percent;
  }
  EXPECT_EQ(published.front().percent, 0);
  EXPECT_EQ(published[published.size() - 2].percent, 100);
  EXPECT_EQ(published.back(), WorkerEvent::component_ready(ComponentKind::Workbench));
  // The second package starts where the first one's share ends.
  bool sawThird = false;
  for (const WorkerEvent& event : published) sawThird = sawThird || event.percent == 33;
  EXPECT_TRUE(sawThird);
}

TEST_F(StagingTest, AFailureRecordsNothingAndKeepsEarlierPackagesStaged) {
  const std::string first = pattern(100'000, 16);
  const PackageDescriptor a = serve("a.bin", "a.bin", first);
  PackageDescriptor b = a;
  b.fileName = "b.bin";
  b.downloadUrl = "https://" + TestService::host() + served_path("missing.bin");
  staged_[ComponentKind::Workbench] = {"earlier"};
  const auto result = stage({a, b});
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), "下载服务器返回 HTTP 404。");
  EXPECT_EQ(read_file(in_downloads("a.bin")), first);
  EXPECT_EQ(staged_.at(ComponentKind::Workbench), std::vector<std::string>{"earlier"});
  for (const WorkerEvent& event : events()) EXPECT_NE(event.tag, WorkerEventTag::ComponentReady);
  // A later success replaces the earlier entry.
  ASSERT_TRUE(stage({a}));
  EXPECT_EQ(staged_.at(ComponentKind::Workbench), std::vector<std::string>{in_downloads("a.bin")});
}

TEST_F(StagingTest, AddressAndConnectionFailuresKeepTheirTexts) {
  PackageDescriptor package{"a.exe", "ftp://" + TestService::host() + "/a.exe", std::string(64, 'A'), 10};
  auto result = stage({package});
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), "下载地址必须是 HTTP 或 HTTPS。");
  // Nothing listens on port 1: the send fails with WinHTTP's "cannot connect".
  package.downloadUrl = "http://" + TestService::host() + ":1/a.exe";
  result = stage({package});
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), "发送下载请求失败，错误码 12029。");
}

// The installer address is pinned to the download service; a redirect would fetch the bytes from
// wherever it points. It is an unexpected status like any other, even towards a good file.
TEST_F(StagingTest, ARedirectIsAStatusFailureAndItsTargetIsNeverAsked) {
  const std::string bytes = pattern(200'000, 21);
  PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  const std::string target = "https://" + TestService::host() + served_path("moved.exe");
  TestService::put_file("moved.exe", bytes);
  TestService::set_fault(served_path("a.exe"), R"({"redirectTo":")" + target + R"("})");

  auto result = stage({package});
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), "下载服务器返回 HTTP 302。");
  EXPECT_FALSE(file_exists(in_downloads("a.exe")));
  // The partial file this run opened and never wrote to is gone again.
  EXPECT_FALSE(file_exists(in_downloads("a.partial")));

  // Resumed, the partial file stays as it was.
  write_file(in_downloads("a.partial"), bytes.substr(0, 1000));
  result = stage({package});
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), "下载服务器返回 HTTP 302。");
  EXPECT_EQ(read_file(in_downloads("a.partial")), bytes.substr(0, 1000));
  EXPECT_TRUE(staged_.empty());

  EXPECT_TRUE(TestService::requests("GET", served_path("moved.exe")).empty());
  const auto asked = TestService::requests("GET", served_path("a.exe"));
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].range, "bytes=1000-");
  // Asked for directly, the target serves the package.
  package.downloadUrl = target;
  result = stage({package});
  ASSERT_TRUE(result) << result.error();
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
}

// Another copy of the program holds the partial file: this one asks nothing, changes nothing and
// says why.
TEST_F(StagingTest, APartialFileHeldByAnotherCopyIsLeftAlone) {
  const std::string bytes = pattern(200'000, 22);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  prepare_downloads();
  for (const std::string& held : {bytes.substr(0, 1000), bytes}) {
    SCOPED_TRACE(held.size());
    write_file(in_downloads("a.partial"), held);
    {
      const win::unique_file other = hold_unshared(in_downloads("a.partial"));
      ASSERT_TRUE(other) << ::GetLastError();
      const auto result = stage({package});
      ASSERT_FALSE(result);
      EXPECT_EQ(result.error(), kHeldElsewhere);
    }
    EXPECT_EQ(read_file(in_downloads("a.partial")), held);
    EXPECT_FALSE(file_exists(in_downloads("a.exe")));
  }
  EXPECT_TRUE(TestService::requests().empty());
  EXPECT_TRUE(staged_.empty());
  for (const WorkerEvent& event : events()) EXPECT_NE(event.tag, WorkerEventTag::ComponentReady);
  // Let go, the next run resumes it.
  ASSERT_TRUE(stage({package}));
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
}

// Two copies started together: the one that comes second fails at once, without a request and
// without touching the partial file, and the first finishes with the verified file.
TEST_F(StagingTest, TwoCopiesOfTheSamePackageTheSecondFailsAtOnceAndTheFirstFinishes) {
  const std::string bytes = pattern(3'000'000, 23);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  // About 180 pieces of 16 KiB, 20 ms apart: the first copy downloads for several seconds.
  TestService::set_fault(served_path("a.exe"), R"({"delayMs": 20})");
  const std::string partial = in_downloads("a.partial");

  StagedFiles firstStaged;
  auto firstChannel = make_event_channel();
  std::expected<void, std::string> first = std::unexpected(std::string("not run"));
  std::thread firstCopy(
      [&] { first = stage_packages(ComponentKind::Workbench, "VelkoTarn工作台", {package}, firstStaged, firstChannel.first); });
  const ULONGLONG waitStart = ::GetTickCount64();
  while (win::file_size(partial).value_or(0) == 0 && ::GetTickCount64() - waitStart < 20'000) ::Sleep(10);
  const std::uint64_t arrived = win::file_size(partial).value_or(0);

  const ULONGLONG secondStart = ::GetTickCount64();
  const auto second = stage({package});
  const ULONGLONG secondTook = ::GetTickCount64() - secondStart;
  const bool firstStillRunning = !file_exists(in_downloads("a.exe"));
  firstCopy.join();

  ASSERT_GT(arrived, 0u) << "the first copy never started writing";
  ASSERT_LT(arrived, bytes.size());
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error(), kHeldElsewhere);
  EXPECT_LT(secondTook, 1500u);
  EXPECT_TRUE(firstStillRunning);
  EXPECT_TRUE(staged_.empty());

  ASSERT_TRUE(first) << first.error();
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
  EXPECT_FALSE(file_exists(partial));
  EXPECT_EQ(firstStaged.at(ComponentKind::Workbench), std::vector<std::string>{in_downloads("a.exe")});
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "");
}

// The carried WebView2 bootstrapper's temporary file follows the same rule.
TEST_F(StagingTest, TheBootstrapperIsNotWrittenOutWhileAnotherCopyHoldsItsTemporaryFile) {
  prepare_downloads();
  const std::string part = in_downloads("MicrosoftEdgeWebview2Setup.exe.part");
  write_file(part, "另一个副本写到一半");
  {
    const win::unique_file other = hold_unshared(part);
    ASSERT_TRUE(other) << ::GetLastError();
    const auto written = write_out_webview2_bootstrapper();
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), kHeldElsewhere);
  }
  EXPECT_EQ(read_file(part), "另一个副本写到一半");
  EXPECT_FALSE(file_exists(in_downloads("MicrosoftEdgeWebview2Setup.exe")));
  // Let go, the next call replaces it and writes the bootstrapper out.
  const auto written = write_out_webview2_bootstrapper();
  ASSERT_TRUE(written) << written.error();
  EXPECT_EQ(*written, in_downloads("MicrosoftEdgeWebview2Setup.exe"));
  EXPECT_FALSE(file_exists(part));
  const auto carried = carried_webview2_bootstrapper();
  ASSERT_TRUE(carried) << carried.error();
  EXPECT_TRUE(read_file(*written) == std::string(reinterpret_cast<const char*>(carried->data()), carried->size()));
}

TEST_F(StagingTest, TheDownloadFolderErrorIsReturnedUnchanged) {
  test::make_directories(temp_.join("VelkoInstaller"));
  write_file(temp_.join("VelkoInstaller\\downloads"), "");
  const auto result = stage({PackageDescriptor{"a.exe", "https://x/a", std::string(64, 'A'), 1}});
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.error().starts_with("创建下载目录失败：")) << result.error();
  EXPECT_TRUE(TestService::requests().empty());
}

// A resumed request answered with 206 from anywhere but the offset: never appended, and never a
// dead end for the next run.
constexpr char kPartialDiscarded[] = "下载服务器返回 HTTP 206，已删除未完成的下载，请重试。";

TEST_F(StagingTest, AResumedAnswerFromByteZeroIsWrittenFromTheStart) {
  const std::string bytes = pattern(200'000, 10);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  TestService::set_fault(served_path("a.exe"), R"({"rangeStartsAt": 0})");
  prepare_downloads();
  write_file(in_downloads("a.partial"), std::string(1000, 'x'));
  const auto result = stage({package});
  ASSERT_TRUE(result) << result.error();
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "bytes=1000-");
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
  EXPECT_FALSE(file_exists(in_downloads("a.partial")));
}

// A proxy that drops Content-Range keeps doing so: the first run removes the partial file, the
// second asks for the whole file and gets it.
TEST_F(StagingTest, AResumedAnswerWithoutAContentRangeLeavesTheNextRunAbleToSucceed) {
  const std::string bytes = pattern(200'000, 19);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  TestService::set_fault(served_path("a.exe"), R"({"ignoreRange": true, "status": 206})");
  prepare_downloads();
  write_file(in_downloads("a.partial"), bytes.substr(0, 1000));

  const auto first = stage({package});
  ASSERT_FALSE(first);
  EXPECT_EQ(first.error(), kPartialDiscarded);
  EXPECT_FALSE(file_exists(in_downloads("a.partial")));
  EXPECT_FALSE(file_exists(in_downloads("a.exe")));
  EXPECT_TRUE(staged_.empty());

  const auto second = stage({package});
  ASSERT_TRUE(second) << second.error();
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].range, "bytes=1000-");
  EXPECT_EQ(requests[1].range, "");
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
  EXPECT_FALSE(file_exists(in_downloads("a.partial")));
}

TEST_F(StagingTest, AResumedAnswerFromAnotherOffsetRemovesThePartialFile) {
  const std::string bytes = pattern(200'000, 23);
  const PackageDescriptor package = serve("a.exe", "a.exe", bytes);
  TestService::set_fault(served_path("a.exe"), R"({"rangeStartsAt": 500, "times": 1})");
  prepare_downloads();
  write_file(in_downloads("a.partial"), bytes.substr(0, 1000));

  const auto first = stage({package});
  ASSERT_FALSE(first);
  EXPECT_EQ(first.error(), kPartialDiscarded);
  EXPECT_FALSE(file_exists(in_downloads("a.partial")));

  const auto second = stage({package});
  ASSERT_TRUE(second) << second.error();
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].range, "bytes=1000-");
  EXPECT_EQ(requests[1].range, "");
  EXPECT_EQ(read_file(in_downloads("a.exe")), bytes);
}

}  // namespace
}  // namespace velko
