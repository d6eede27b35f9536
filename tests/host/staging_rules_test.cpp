#include "download/staging_rules.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "common/digest_text.h"

namespace velko {
namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(DigestText, UpperCaseHexInOrder) {
  const std::uint8_t bytes[] = {0x00, 0x0F, 0xA5, 0xFF, 0x10};
  EXPECT_EQ(digest_text(bytes), "000FA5FF10");
  EXPECT_EQ(digest_text({}), "");
}

TEST(DigestText, ComparedWithoutRegardToCase) {
  EXPECT_TRUE(same_digest("ABCDEF0123", "abcdef0123"));
  EXPECT_TRUE(same_digest("aBcD", "AbCd"));
  EXPECT_FALSE(same_digest("ABCD", "ABCE"));
  EXPECT_FALSE(same_digest("ABCD", "ABCD0"));
}

TEST(PartialFileName, ReplacesTheExtension) {
  EXPECT_EQ(partial_file_name("VelkoTarnWorkbench-Setup-v1.4.2.exe"), "VelkoTarnWorkbench-Setup-v1.4.2.partial");
  EXPECT_EQ(partial_file_name("a.tar.gz"), "a.tar.partial");
  EXPECT_EQ(partial_file_name("安装包.exe"), "安装包.partial");
}

TEST(PartialFileName, AppendsWithoutAnExtension) {
  EXPECT_EQ(partial_file_name("README"), "README.partial");
  EXPECT_EQ(partial_file_name(".hidden"), ".hidden.partial");
  EXPECT_EQ(partial_file_name("C:\\x.y\\name"), "C:\\x.y\\name.partial");
  EXPECT_EQ(partial_file_name("C:\\d\\a.exe"), "C:\\d\\a.partial");
}

TEST(RangeHeader, DecimalOffset) {
  EXPECT_EQ(range_header(1000), "Range: bytes=1000-");
  EXPECT_EQ(range_header(134217728), "Range: bytes=134217728-");
}

TEST(ContentRange, MustStartAtTheOffset) {
  EXPECT_TRUE(content_range_starts_at("bytes 1000-1999/2000", 1000));
  EXPECT_TRUE(content_range_starts_at("Bytes  1000-1999/*", 1000));
  EXPECT_TRUE(content_range_starts_at(" bytes 1000-", 1000));
  EXPECT_FALSE(content_range_starts_at("bytes 0-1999/2000", 1000));
  EXPECT_FALSE(content_range_starts_at("bytes 999-1999/2000", 1000));
  EXPECT_FALSE(content_range_starts_at("bytes 10000-19999/20000", 1000));
  EXPECT_FALSE(content_range_starts_at("bytes */2000", 1000));
  EXPECT_FALSE(content_range_starts_at("bytes 1000", 1000));
  EXPECT_FALSE(content_range_starts_at("bytes=1000-1999/2000", 1000));
  EXPECT_FALSE(content_range_starts_at("items 1000-1999/2000", 1000));
  EXPECT_FALSE(content_range_starts_at("", 1000));
  EXPECT_FALSE(content_range_starts_at("bytes 99999999999999999999999-1/2", 1000));
}

TEST(ChoosePartialWrite, ResumedAnswerAppendsOnlyAtTheOffset) {
  EXPECT_EQ(std::get<PartialWrite>(choose_partial_write(206, 1000, "bytes 1000-1999/2000")), PartialWrite::Append);
}

// A resumed answer that starts at byte 0 is the file from its start: written like a 200.
TEST(ChoosePartialWrite, ResumedAnswerFromByteZeroRestarts) {
  EXPECT_EQ(std::get<PartialWrite>(choose_partial_write(206, 1000, "bytes 0-1999/2000")), PartialWrite::Restart);
  EXPECT_EQ(std::get<PartialWrite>(choose_partial_write(206, 1000, "bytes 0-499/2000")), PartialWrite::Restart);
  EXPECT_EQ(std::get<PartialWrite>(choose_partial_write(206, 1000, "Bytes 0-")), PartialWrite::Restart);
}

// Any other resumed 206 would come again on the next run: the partial file goes, so that the next
// run asks for the whole file.
TEST(ChoosePartialWrite, ResumedAnswerFromElsewhereDiscardsThePartialFile) {
  constexpr char kText[] = "下载服务器返回 HTTP 206，已删除未完成的下载，请重试。";
  EXPECT_EQ(std::get<DiscardPartial>(choose_partial_write(206, 1000, std::nullopt)).text, kText);
  EXPECT_EQ(std::get<DiscardPartial>(choose_partial_write(206, 1000, "bytes 500-1999/2000")).text, kText);
  EXPECT_EQ(std::get<DiscardPartial>(choose_partial_write(206, 1000, "bytes 1001-1999/2000")).text, kText);
  EXPECT_EQ(std::get<DiscardPartial>(choose_partial_write(206, 1000, "bytes */2000")).text, kText);
  EXPECT_EQ(std::get<DiscardPartial>(choose_partial_write(206, 1000, "")).text, kText);
  EXPECT_EQ(std::get<DiscardPartial>(choose_partial_write(206, 1000, "items 0-1999/2000")).text, kText);
}

TEST(ChoosePartialWrite, WholeFileRestarts) {
  EXPECT_EQ(std::get<PartialWrite>(choose_partial_write(200, 0, std::nullopt)), PartialWrite::Restart);
  EXPECT_EQ(std::get<PartialWrite>(choose_partial_write(200, 1000, std::nullopt)), PartialWrite::Restart);
  // Nothing was asked for, so a 206 counts as the whole file, whatever its range says.
  EXPECT_EQ(std::get<PartialWrite>(choose_partial_write(206, 0, std::nullopt)), PartialWrite::Restart);
  EXPECT_EQ(std::get<PartialWrite>(choose_partial_write(206, 0, "bytes 0-9/10")), PartialWrite::Restart);
}

TEST(ChoosePartialWrite, OtherStatusesFail) {
  EXPECT_EQ(std::get<std::string>(choose_partial_write(404, 0, std::nullopt)), "下载服务器返回 HTTP 404。");
  EXPECT_EQ(std::get<std::string>(choose_partial_write(416, 1000, "bytes */1000")), "下载服务器返回 HTTP 416。");
  // Redirects are never followed, so they reach this choice like any other status.
  EXPECT_EQ(std::get<std::string>(choose_partial_write(302, 0, std::nullopt)), "下载服务器返回 HTTP 302。");
  EXPECT_EQ(std::get<std::string>(choose_partial_write(307, 1000, std::nullopt)), "下载服务器返回 HTTP 307。");
  EXPECT_EQ(std::get<std::string>(choose_partial_write(500, 0, std::nullopt)), "下载服务器返回 HTTP 500。");
}

TEST(Written, StopsAtTheExpectedSizeAndSaturates) {
  EXPECT_EQ(advance_written(0, 1'048'576, 10'000'000), 1'048'576u);
  EXPECT_EQ(advance_written(9'500'000, 1'048'576, 10'000'000), 10'000'000u);
  EXPECT_EQ(advance_written(kMax - 1, 5, kMax), kMax);
  EXPECT_EQ(saturating_add(kMax, 1), kMax);
  EXPECT_EQ(saturating_add(2, 3), 5u);
}

TEST(Written, OverflowOnlyBeyondTheExpectedSize) {
  EXPECT_FALSE(partial_overflows(1000, 1000));
  EXPECT_TRUE(partial_overflows(1001, 1000));
  EXPECT_FALSE(partial_overflows(0, 0));
}

TEST(DiskState, ThreeStatesOfThePartialFile) {
  EXPECT_EQ(package_disk_state(std::nullopt, 1000), PackageDiskState::Absent);
  EXPECT_EQ(package_disk_state(0, 1000), PackageDiskState::Interrupted);
  EXPECT_EQ(package_disk_state(999, 1000), PackageDiskState::Interrupted);
  EXPECT_EQ(package_disk_state(1000, 1000), PackageDiskState::CompleteButUnchecked);
  EXPECT_EQ(package_disk_state(5000, 1000), PackageDiskState::CompleteButUnchecked);
}

TEST(Texts, ExactWording) {
  EXPECT_EQ(incomplete_download_text("a.exe", 2000, 1500), "a.exe 下载不完整：应为 2000 字节，实际 1500 字节。");
  EXPECT_EQ(verification_failed_text("a.exe"), "a.exe 校验失败，文件不会执行。");
  EXPECT_EQ(coded_download_text("连接下载服务器失败", 12029), "连接下载服务器失败，错误码 12029。");
}

TEST(FileHeldElsewhere, OnlyASharingViolationNamesTheOtherCopy) {
  EXPECT_EQ(file_held_elsewhere_text(32), "另一个助手正在下载同一文件，请等待其完成后重试。");
  EXPECT_EQ(file_held_elsewhere_text(5), std::nullopt);   // access denied
  EXPECT_EQ(file_held_elsewhere_text(33), std::nullopt);  // a lock, not an open
  EXPECT_EQ(file_held_elsewhere_text(0), std::nullopt);
}

DownloadProgressContext context_for(std::uint64_t completed, std::uint64_t total, EventSender sender) {
  return DownloadProgressContext{completed, total, ComponentKind::Workbench, "VelkoTarn工作台 v1.4.2", std::move(sender)};
}

TEST(DownloadProgress, TextPercentAndSize) {
  auto [sender, receiver] = make_event_channel();
  const auto context = context_for(0, 123'456'789, sender);
  const WorkerEvent start = download_progress_event(context, 0);
  EXPECT_EQ(start.tag, WorkerEventTag::DownloadProgress);
  EXPECT_EQ(start.component, ComponentKind::Workbench);
  EXPECT_EQ(start.percent, 0);
  EXPECT_EQ(start.text, "正在下载 VelkoTarn工作台 v1.4.2 · 0% · 123.5 MB");
  EXPECT_EQ(download_progress_event(context, 61'728'395).percent, 50);
  EXPECT_EQ(download_progress_event(context, 123'456'788).percent, 99);
  EXPECT_EQ(download_progress_event(context, 123'456'789).percent, 100);
  // Never beyond the whole component.
  EXPECT_EQ(download_progress_event(context, kMax).percent, 100);
  report_download_progress(context, 123'456'789);
  const auto published = receiver.try_receive();
  ASSERT_TRUE(published);
  EXPECT_EQ(*published, download_progress_event(context, 123'456'789));
  EXPECT_FALSE(receiver.try_receive());
}

TEST(DownloadProgress, TwoPackagesShowTheWholeComponent) {
  auto [sender, receiver] = make_event_channel();
  const std::string suffix = " · 30.0 MB";
  auto first = context_for(0, 30'000'000, sender);
  EXPECT_EQ(download_progress_event(first, 0).percent, 0);
  EXPECT_EQ(download_progress_event(first, 10'000'000).percent, 33);
  EXPECT_TRUE(download_progress_event(first, 10'000'000).text->ends_with("33%" + suffix));
  auto second = context_for(10'000'000, 30'000'000, sender);
  EXPECT_EQ(download_progress_event(second, 0).percent, 33);
  EXPECT_EQ(download_progress_event(second, 5'000'000).percent, 50);
  EXPECT_EQ(download_progress_event(second, 20'000'000).percent, 100);
  EXPECT_TRUE(download_progress_event(second, 20'000'000).text->ends_with("100%" + suffix));
}

TEST(DownloadProgress, SizeWithOneDecimal) {
  auto [sender, receiver] = make_event_channel();
  EXPECT_TRUE(download_progress_event(context_for(0, 0, sender), 0).text->ends_with("· 0% · 0.0 MB"));
  EXPECT_TRUE(download_progress_event(context_for(0, 1'691'856, sender), 0).text->ends_with("· 1.7 MB"));
  EXPECT_TRUE(download_progress_event(context_for(0, 999, sender), 0).text->ends_with("· 0.0 MB"));
  EXPECT_TRUE(download_progress_event(context_for(0, 268'435'456, sender), 0).text->ends_with("· 268.4 MB"));
  EXPECT_TRUE(download_progress_event(context_for(0, 4'294'967'295, sender), 0).text->ends_with("· 4295.0 MB"));
}

TEST(DownloadProgress, CompletedBytesSaturate) {
  auto [sender, receiver] = make_event_channel();
  const auto context = context_for(kMax - 10, 1000, sender);
  EXPECT_EQ(download_progress_event(context, 100).percent, 100);
  auto zero = DownloadProgressContext{0, 0, ComponentKind::WebView2Runtime, "WebView2 运行环境", sender};
  EXPECT_EQ(download_progress_event(zero, 0).percent, 0);
  EXPECT_EQ(download_progress_event(zero, 0).text, "正在下载 WebView2 运行环境 · 0% · 0.0 MB");
}

// One table: each row is one progress report while bytes arrive, in order, with the time it is
// made and whether it goes out. Only a changed percent after at least 100 ms since the last event
// does; the first always does.
TEST(ProgressPacing, AWholePercentChangedAndTheIntervalPassedWhicheverComesLater) {
  struct Row {
    std::int32_t percent;
    std::uint64_t nowMs;
    bool due;
  };
  const Row rows[] = {
      {0, 5'000, true},     // the first report of a package
      {0, 5'200, false},    // time passed, the percent did not change
      {1, 5'050, false},    // the percent changed, not yet 100 ms since the last event (at 5,000)
      {1, 5'099, false},
      {1, 5'100, true},     // both: exactly the interval
      {2, 5'150, false},
      {3, 5'250, true},     // two percents on, after the interval: only the latest is shown
      {3, 9'000, false},    // a stall: nothing new to show however long it lasts
      {4, 9'001, true},
      {5, 9'000, false},    // a clock that went back is no time passed
      {5, 9'101, true},
      {100, 9'150, false},  // the end of a package is sent by the caller regardless
  };
  ProgressPacing pacing;
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.percent << "% at " << row.nowMs << " ms");
    const bool due = pacing.due(row.percent, row.nowMs);
    EXPECT_EQ(due, row.due);
    if (due) pacing.sent(row.percent, row.nowMs);
  }
}

// The percent the pacing looks at is the one the event shows.
TEST(ProgressPacing, PercentIsTheEventsPercent) {
  auto [sender, receiver] = make_event_channel();
  const auto context = context_for(10'000'000, 30'000'000, sender);
  const std::uint64_t amounts[] = {0, 1, 299'999, 300'000, 5'000'000, 20'000'000, kMax};
  for (const std::uint64_t bytes : amounts) {
    EXPECT_EQ(download_percent(context, bytes), download_progress_event(context, bytes).percent) << bytes;
  }
}

}  // namespace
}  // namespace velko
