// Download benchmark: staging over loopback HTTP against a bare WinHTTP loop, the verification
// pass against hashing in memory, the installation's preparation of the staged installer against
// one verifying read of it, the bytes on the wire for a resume from the half and the peak private
// memory while staging. Every figure is a ratio against a baseline measured in the same
// run on the same machine. Run it through bench/download_bench, which starts the service.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "download/publisher_key.h"
#include "download/publisher_signature.h"
#include "download/staging.h"
#include "install/workbench_installer.h"
#include "support/test_service.h"
#include "win/file_digest.h"
#include "win/file_identity.h"
#include "win/http_request.h"
#include "win/http_session.h"
#include "win/child_process.h"
#include "win/module_path.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace {

using namespace velko;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kMiB = 1'048'576;
constexpr int kRounds = 5;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<std::uint8_t> pattern(std::uint64_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uint64_t x = 0x9E3779B97F4A7C15ull;
  for (std::uint64_t i = 0; i + 8 <= size; i += 8) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    std::memcpy(bytes.data() + i, &x, 8);
  }
  return bytes;
}

bool write_whole(const std::string& path, const std::uint8_t* data, std::uint64_t size) {
  HANDLE file = ::CreateFileW(win::wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  while (ok && size > 0) {
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(std::min<std::uint64_t>(size, 64 * kMiB));
    ok = ::WriteFile(file, data, piece, &written, nullptr) && written == piece;
    data += piece;
    size -= piece;
  }
  ::CloseHandle(file);
  return ok;
}

std::string url_for(const std::string& name, std::uint16_t port) {
  return "http://" + test::TestService::host() + ":" + std::to_string(port) + "/v1/downloads/" + name;
}

// The baseline: the same request with the same settings, the body read into nothing (or, to show
// what the disk alone costs, appended to a file).
std::uint64_t bare_winhttp_loop(const std::string& name, const std::string& writeTo = {}) {
  HANDLE file = INVALID_HANDLE_VALUE;
  if (!writeTo.empty()) {
    file = ::CreateFileW(win::wide(writeTo).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  const std::string host = test::TestService::host();
  const std::string path = "/v1/downloads/" + name;
  const auto answer = win::open_service_request(L"GET", {host, test::TestService::http_port(), path, false});
  if (!answer) return 0;
  const HINTERNET request = answer->request.get();
  std::vector<std::uint8_t> buffer(kMiB);
  std::uint64_t total = 0;
  for (;;) {
    DWORD available = 0;
    if (!win::query_http_data_available(request, available) || available == 0) break;
    DWORD read = 0;
    if (!win::read_http_data(request, buffer.data(), std::min<DWORD>(available, kMiB), read) || read == 0) break;
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(file, buffer.data(), read, &written, nullptr);
    }
    total += read;
  }
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
    ::DeleteFileW(win::wide(writeTo).c_str());
  }
  return total;
}

// Private committed memory of this process, as Windows accounts it.
std::uint64_t private_committed_bytes() {
  std::uint64_t total = 0;
  MEMORY_BASIC_INFORMATION region{};
  const auto* address = static_cast<const std::uint8_t*>(nullptr);
  while (::VirtualQuery(address, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const auto* next = static_cast<const std::uint8_t*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

struct StageRun {
  bool ok = false;
  std::string error;
  double transferSeconds = 0;  // until the progress first reached 100
  double totalSeconds = 0;     // including the verification pass and the final rename
  std::uint64_t peakPrivate = 0;
  std::uint64_t basePrivate = 0;
  std::uint64_t progressEvents = 0;
  std::uint64_t largestBacklog = 0;  // most events found waiting at one drain
};

// Stages one package in a fresh ProgramData while a second thread drains the events as the window
// would, noting when the transfer reached 100 percent and sampling private memory.
StageRun stage_once(const PackageDescriptor& package, const std::string& programData, bool sampleMemory) {
  ::SetEnvironmentVariableW(L"VELKO_TEST_PROGRAM_DATA", win::wide(programData).c_str());
  StageRun run;
  auto [sender, receiver] = make_event_channel();
  std::atomic<bool> done{false};
  std::atomic<double> transferEnd{0};
  std::atomic<std::uint64_t> peak{0};
  std::atomic<std::uint64_t> progressEvents{0};
  std::atomic<std::uint64_t> largestBacklog{0};
  run.basePrivate = private_committed_bytes();
  const auto start = Clock::now();
  std::thread drain([&] {
    while (!done.load()) {
      std::uint64_t backlog = 0;
      while (auto event = receiver.try_receive()) {
        ++backlog;
        if (event->tag == WorkerEventTag::DownloadProgress) ++progressEvents;
        if (event->tag == WorkerEventTag::DownloadProgress && event->percent == 100 && transferEnd.load() == 0) {
          transferEnd.store(seconds_since(start));
        }
      }
      largestBacklog.store(std::max(largestBacklog.load(), backlog));
      // Walking the address space costs time: only the memory runs do it.
      if (sampleMemory) peak.store(std::max(peak.load(), private_committed_bytes()));
      std::this_thread::sleep_for(std::chrono::milliseconds(sampleMemory ? 2 : 10));
    }
    // Progress is paced: the only 100 may be the package's last event, sent just before the end.
    while (auto event = receiver.try_receive()) {
      if (event->tag == WorkerEventTag::DownloadProgress) ++progressEvents;
    }
  });
  StagedFiles staged;
  const auto result = stage_packages(ComponentKind::Workbench, "VelkoTarn工作台", {package}, staged, sender);
  run.totalSeconds = seconds_since(start);
  done.store(true);
  drain.join();
  run.ok = result.has_value();
  if (!result) run.error = result.error();
  run.transferSeconds = transferEnd.load() > 0 ? transferEnd.load() : run.totalSeconds;
  run.peakPrivate = std::max(peak.load(), private_committed_bytes());
  run.progressEvents = progressEvents.load();
  run.largestBacklog = largestBacklog.load();
  return run;
}

double mib(std::uint64_t bytes) { return static_cast<double>(bytes) / kMiB; }

std::string temp_folder(const std::string& name) {
  wchar_t base[MAX_PATH + 1];
  ::GetTempPathW(MAX_PATH + 1, base);
  const std::string folder = win::narrow(base) + "velko-bench-" + std::to_string(::GetCurrentProcessId()) + "-" + name;
  ::CreateDirectoryW(win::wide(folder).c_str(), nullptr);
  return folder;
}

void remove_staged(const std::string& programData, const std::string& fileName) {
  const std::string folder = programData + "\\VelkoInstaller\\downloads\\";
  ::DeleteFileW(win::wide(folder + fileName).c_str());
  ::DeleteFileW(win::wide(folder + "bench.partial").c_str());
}

// Child mode: stage one package in a process of its own and print its private memory figures.
int stage_child(int argc, wchar_t** argv) {
  if (argc < 7) return 2;
  PackageDescriptor package{win::narrow(argv[2]), win::narrow(argv[3]), win::narrow(argv[4]),
                            std::stoull(win::narrow(argv[5]))};
  const StageRun run = stage_once(package, win::narrow(argv[6]), true);
  if (!run.ok) {
    std::printf("  staging failed: %s\n", run.error.c_str());
    return 1;
  }
  std::printf("  %4.0f MiB package: private memory %.1f MiB before staging, peak %.1f MiB while staging"
              " (largest event backlog %llu)\n",
              mib(package.size), mib(run.basePrivate), mib(run.peakPrivate),
              static_cast<unsigned long long>(run.largestBacklog));
  std::fflush(stdout);
  return 0;
}

bool run_child(const std::vector<std::wstring>& arguments) {
  std::wstring commandLine = L"\"" + win::wide(win::own_executable_path().value_or("")) + L"\"";
  for (const auto& argument : arguments) commandLine += L" \"" + argument + L"\"";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  std::fflush(stdout);
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
    return false;
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return code == 0;
}

std::string read_text(const std::string& path) {
  HANDLE file = ::CreateFileW(win::wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  char buffer[4096];
  DWORD read = 0;
  std::string text;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  ::CloseHandle(file);
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wstring(argv[1]) == L"--stage-child") return stage_child(argc, argv);
  if (argc < 3) {
    std::printf("usage: download_bench PROXY_PORT WIRE_LOG [SIGNED_PROGRAM] (run it through bench/download_bench)\n");
    return 2;
  }
  const std::uint16_t proxyPort = static_cast<std::uint16_t>(std::stoi(win::narrow(argv[1])));
  const std::string wireLog = win::narrow(argv[2]);
  const std::string signedProgram = argc >= 4 ? win::narrow(argv[3]) : std::string();

  test::TestService::reset();
  const std::string releaseDir = test::TestService::release_dir();
  constexpr std::uint64_t kSize = 256 * kMiB;
  constexpr std::uint64_t kSmallSize = 64 * kMiB;
  const std::vector<std::uint8_t> bytes = pattern(kSize);
  if (!write_whole(releaseDir + "\\bench.bin", bytes.data(), kSize) ||
      !write_whole(releaseDir + "\\bench-small.bin", bytes.data(), kSmallSize)) {
    std::printf("cannot write the served files into %s\n", releaseDir.c_str());
    return 1;
  }
  const std::string digest = *win::sha256_of_bytes(bytes);
  const std::string smallDigest = *win::sha256_of_bytes(std::span(bytes.data(), kSmallSize));
  const PackageDescriptor package{"bench.exe", url_for("bench.bin", test::TestService::http_port()), digest, kSize};
  const std::string programData = temp_folder("programdata");

  std::printf("Download benchmark: %.0f MiB package over loopback HTTP, best of %d rounds each\n\n", mib(kSize), kRounds);

  // 1. Transfer: staging against the bare loop, alternating so both see the same machine state.
  double bestBare = 1e9;
  double bestBareWriting = 1e9;
  double bestTransfer = 1e9;
  double bestStage = 1e9;
  std::uint64_t events = 0;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = Clock::now();
    const std::uint64_t received = bare_winhttp_loop("bench.bin");
    const double bare = seconds_since(start);
    if (received != kSize) {
      std::printf("bare loop received %llu bytes\n", static_cast<unsigned long long>(received));
      return 1;
    }
    bestBare = std::min(bestBare, bare);
    const auto writingStart = Clock::now();
    bare_winhttp_loop("bench.bin", programData + "\\bare-loop.bin");
    bestBareWriting = std::min(bestBareWriting, seconds_since(writingStart));
    remove_staged(programData, "bench.exe");
    const StageRun run = stage_once(package, programData, false);
    events = run.progressEvents;
    if (!run.ok) {
      std::printf("staging failed: %s\n", run.error.c_str());
      return 1;
    }
    bestTransfer = std::min(bestTransfer, run.transferSeconds);
    bestStage = std::min(bestStage, run.totalSeconds);
  }
  std::printf("Transfer\n");
  std::printf("  bare WinHTTP loop          %7.3f s  %8.1f MiB/s\n", bestBare, mib(kSize) / bestBare);
  std::printf("  bare loop writing a file   %7.3f s  %8.1f MiB/s  (what the disk alone costs)\n",
              bestBareWriting, mib(kSize) / bestBareWriting);
  std::printf("  staging, transfer part     %7.3f s  %8.1f MiB/s\n", bestTransfer, mib(kSize) / bestTransfer);
  std::printf("  staging, whole (verified)  %7.3f s  %8.1f MiB/s\n", bestStage, mib(kSize) / bestStage);
  std::printf("  progress events: %llu (one per whole percent at most, 100 ms apart)\n",
              static_cast<unsigned long long>(events));
  std::printf("  throughput ratio (staging transfer / bare loop): %.2f   (target >= 0.90)\n",
              bestBare / bestTransfer);
  std::printf("  throughput ratio (whole staging, verified file ready / bare loop): %.2f   (target >= 0.85)\n",
              bestBare / bestStage);
  std::printf("  throughput ratio (staging transfer / bare loop writing a file): %.2f\n\n",
              bestBareWriting / bestTransfer);

  // 2. Verification pass: hashing the staged file against hashing the same bytes in memory.
  const std::string finalPath = programData + "\\VelkoInstaller\\downloads\\bench.exe";
  double bestFile = 1e9;
  double bestMemory = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    auto start = Clock::now();
    const auto fromFile = win::sha256_of_file(finalPath);
    bestFile = std::min(bestFile, seconds_since(start));
    start = Clock::now();
    const auto inMemory = win::sha256_of_bytes(bytes);
    bestMemory = std::min(bestMemory, seconds_since(start));
    if (!fromFile || !inMemory || *fromFile != *inMemory) {
      std::printf("hashes differ\n");
      return 1;
    }
  }
  std::printf("Verification pass\n");
  std::printf("  sha256_of_file (1 MiB reads)  %7.3f s  %8.1f MiB/s\n", bestFile, mib(kSize) / bestFile);
  std::printf("  SHA-256 of the bytes in memory %6.3f s  %8.1f MiB/s\n", bestMemory, mib(kSize) / bestMemory);
  std::printf("  ratio (file / memory): %.2f   (target <= 1.10)\n\n", bestFile / bestMemory);

  // 2b. The installation's preparation of the staged installer: everything before the copy is
  // started (the bench file is no program, so starting it fails right after its last check),
  // against one verifying read of the staged file; and, for comparison, the passes it took before
  // (verify the staged file, copy it, flush, verify the copy).
  const ReleasePolicy policy{"9.9.9", package.downloadUrl, digest, kSize};
  const std::string installDir = programData + "\\install";
  double bestPrepare = 1e9;
  double bestFormer = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    auto start = Clock::now();
    // No pinned keys: the bench file is no signed program (the signature check is timed below).
    const auto prepared = run_workbench_installer_at(finalPath, installDir, policy, std::chrono::system_clock::now(), {});
    bestPrepare = std::min(bestPrepare, seconds_since(start));
    if (prepared || !prepared.error().starts_with("启动 IDE 安装任务失败：")) {
      std::printf("preparation ended otherwise: %s\n", prepared ? "started" : prepared.error().c_str());
      return 1;
    }
    const std::string copy = programData + "\\former-copy.exe";
    start = Clock::now();
    const auto staged = win::sha256_of_file(finalPath);
    const bool copied = ::CopyFileW(win::wide(finalPath).c_str(), win::wide(copy).c_str(), FALSE);
    win::unique_file writable(::CreateFileW(win::wide(copy).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    const bool flushed = writable && ::FlushFileBuffers(writable.get());
    writable.reset();
    const auto ofCopy = win::sha256_of_file(copy);
    bestFormer = std::min(bestFormer, seconds_since(start));
    ::DeleteFileW(win::wide(copy).c_str());
    if (!staged || !copied || !flushed || !ofCopy || *ofCopy != digest) {
      std::printf("the former preparation failed\n");
      return 1;
    }
  }
  // What the failed start at the end of the preparation costs alone.
  double bestStart = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    win::ProcessLaunch launch;
    launch.program = finalPath;
    const auto start = Clock::now();
    const auto started = win::start_process(launch);
    bestStart = std::min(bestStart, seconds_since(start));
    if (started) {
      ::TerminateProcess(started->process.get(), 1);
      std::printf("the bench file started as a program\n");
      return 1;
    }
  }
  std::printf("Installation's preparation of the staged installer (until it is started)\n");
  std::printf("  one verifying read (sha256_of_file) %6.3f s\n", bestFile);
  std::printf("  preparation: copy while hashing, verify the copy through the held handle  %6.3f s\n", bestPrepare);
  std::printf("  of which the start that fails (the bench file is no program)              %6.3f s\n", bestStart);
  std::printf("  the former passes alone (verify, CopyFileW, flush, verify the copy;\n"
              "    no run folder, no start)                                                 %6.3f s\n",
              bestFormer);
  std::printf("  ratio (preparation / one verifying read): %.2f   (target <= 2.2; the former passes alone: %.2f)\n\n",
              bestPrepare / bestFile, bestFormer / bestFile);

  // 2c. The same for a signed installer with the pinned keys, as the product runs it: the copy's
  // digest and its signature (WinVerifyTrust and the key pin) each read the whole copy, side by
  // side. The signed file is a library, so its start fails right after the last check.
  if (!signedProgram.empty()) {
    const auto signedDigest = win::sha256_of_file(signedProgram);
    const auto signedSize = win::file_size(signedProgram);
    if (!signedDigest || !signedSize) {
      std::printf("cannot read the signed program %s\n", signedProgram.c_str());
      return 1;
    }
    const ReleasePolicy signedPolicy{"9.9.9", package.downloadUrl, *signedDigest, *signedSize};
    double bestRead = 1e9;
    double bestCheck = 1e9;
    double bestSignedPrepare = 1e9;
    for (int round = 0; round < kRounds; ++round) {
      auto start = Clock::now();
      const auto digest = win::sha256_of_file(signedProgram);
      bestRead = std::min(bestRead, seconds_since(start));
      const win::unique_file held(::CreateFileW(win::wide(signedProgram).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      start = Clock::now();
      const auto checked = check_publisher_signature(held.get(), signedProgram, built_in_publisher_keys(), "refused");
      bestCheck = std::min(bestCheck, seconds_since(start));
      start = Clock::now();
      const auto prepared = run_workbench_installer_at(signedProgram, installDir, signedPolicy,
                                                       std::chrono::system_clock::now(), built_in_publisher_keys());
      bestSignedPrepare = std::min(bestSignedPrepare, seconds_since(start));
      if (!digest || !checked || prepared || !prepared.error().starts_with("启动 IDE 安装任务失败：")) {
        std::printf("the signed program's preparation ended otherwise: %s\n",
                    !checked ? checked.error().c_str() : prepared ? "started" : prepared.error().c_str());
        return 1;
      }
    }
    std::printf("The same for a signed %.0f MiB installer with the pinned keys (everything the product checks)\n",
                mib(*signedSize));
    std::printf("  one verifying read (sha256_of_file)  %6.3f s\n", bestRead);
    std::printf("  signature check alone (WinVerifyTrust and the key pin)  %6.3f s   (also paid once after staging)\n",
                bestCheck);
    std::printf("  preparation: copy while hashing, then digest and signature of the copy side by side  %6.3f s\n",
                bestSignedPrepare);
    std::printf("  ratio (preparation / one verifying read): %.2f   (target <= 2.2)\n\n", bestSignedPrepare / bestRead);
  }

  // 3. Resume from the half, through a counting relay in front of the service.
  remove_staged(programData, "bench.exe");
  const std::string partial = programData + "\\VelkoInstaller\\downloads\\bench.partial";
  write_whole(partial, bytes.data(), kSize / 2);
  unsigned long long upBefore = 0;
  unsigned long long downBefore = 0;
  std::sscanf(read_text(wireLog).c_str(), "%llu %llu", &upBefore, &downBefore);
  PackageDescriptor relayed = package;
  relayed.downloadUrl = url_for("bench.bin", proxyPort);
  const StageRun resumed = stage_once(relayed, programData, false);
  if (!resumed.ok) {
    std::printf("resumed staging failed: %s\n", resumed.error.c_str());
    return 1;
  }
  ::Sleep(300);  // the relay writes its totals as the bytes pass
  unsigned long long up = 0;
  unsigned long long down = 0;
  std::sscanf(read_text(wireLog).c_str(), "%llu %llu", &up, &down);
  up -= upBefore;
  down -= downBefore;
  const std::uint64_t missing = kSize - kSize / 2;
  std::printf("Resume from the half\n");
  std::printf("  missing half                 %12llu bytes\n", static_cast<unsigned long long>(missing));
  std::printf("  on the wire, server->client  %12llu bytes\n", down);
  std::printf("  on the wire, client->server  %12llu bytes\n", up);
  std::printf("  overhead beyond the missing half: %lld bytes   (target <= %llu)\n\n",
              static_cast<long long>(down + up) - static_cast<long long>(missing),
              static_cast<unsigned long long>(kMiB));

  // 4. Peak private memory while staging, each size in a fresh process.
  std::printf("Peak private memory while staging (committed private pages, own process per run)\n");
  bool measured = true;
  for (const auto& [name, size, sha] : {std::tuple{std::string("bench-small"), kSmallSize, smallDigest},
                                        std::tuple{std::string("bench"), kSize, digest}}) {
    const std::string data = temp_folder("programdata-" + name);
    measured = run_child({L"--stage-child", win::wide(name + ".exe"),
                          win::wide(url_for(name + ".bin", test::TestService::http_port())), win::wide(sha),
                          std::to_wstring(size), win::wide(data)}) &&
               measured;
  }
  std::printf("  (target: peak under 16 MiB, flat with file size)\n");
  if (!measured) return 1;
  return 0;
}
