#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "download/download_store.h"
#include "support/links.h"
#include "support/scoped_temp_dir.h"
#include "win/data_folder.h"
#include "win/file_digest.h"
#include "win/file_identity.h"
#include "win/folder_security.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

using test::file_exists;
using test::read_file;
using test::ScopedEnvironment;
using test::ScopedTempDir;
using test::write_file;

std::string pattern_bytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + 3) % 251);
  return bytes;
}

bool is_digest_text(const std::string& text) {
  if (text.size() != 64) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// The user's own environment reaches an elevated program: %ProgramData% could name his folder.
TEST(ProgramDataFolder, ComesFromTheSystemNotTheEnvironment) {
  ScopedTempDir temp;
  ScopedEnvironment noRedirection("VELKO_TEST_PROGRAM_DATA", std::nullopt);
  for (const std::optional<std::string>& value : {std::optional<std::string>(temp.path()),
                                                  std::optional<std::string>("\\\\server\\share"),
                                                  std::optional<std::string>()}) {
    ScopedEnvironment programData("ProgramData", value);
    EXPECT_EQ(win::program_data_folder(), "C:\\ProgramData") << value.value_or("(unset)");
    EXPECT_EQ(win::installer_data_folder(), "C:\\ProgramData\\VelkoInstaller");
  }
}

TEST(ProgramDataFolder, ATestBuildRedirectsIt) {
  ScopedTempDir temp;
  ScopedEnvironment programData("VELKO_TEST_PROGRAM_DATA", temp.path());
  EXPECT_EQ(win::program_data_folder(), temp.path());
  EXPECT_EQ(win::installer_data_folder(), temp.path() + "\\VelkoInstaller");
}

TEST(DownloadsFolder, CreatesEveryMissingFolderAndAcceptsAnExistingOne) {
  ScopedTempDir temp;
  const std::string root = temp.join("数据\\更深");
  ScopedEnvironment programData("VELKO_TEST_PROGRAM_DATA", root);
  const auto first = win::downloads_folder();
  ASSERT_TRUE(first) << first.error();
  EXPECT_EQ(*first, root + "\\VelkoInstaller\\downloads");
  const DWORD attributes = ::GetFileAttributesW(win::wide(*first).c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  write_file(*first + "\\kept.bin", "kept");
  const auto second = win::downloads_folder();
  ASSERT_TRUE(second) << second.error();
  EXPECT_EQ(*second, *first);
  EXPECT_EQ(read_file(*first + "\\kept.bin"), "kept");
}

TEST(DownloadsFolder, FailsWhenAPlainFileStandsInItsPlace) {
  ScopedTempDir temp;
  ScopedEnvironment programData("VELKO_TEST_PROGRAM_DATA", temp.path());
  test::make_directories(temp.join("VelkoInstaller"));
  write_file(temp.join("VelkoInstaller\\downloads"), "not a folder");
  const auto folder = win::downloads_folder();
  ASSERT_FALSE(folder);
  EXPECT_TRUE(folder.error().starts_with("创建下载目录失败：")) << folder.error();
  EXPECT_TRUE(folder.error().ends_with(" (os error 183)")) << folder.error();
  EXPECT_EQ(read_file(temp.join("VelkoInstaller\\downloads")), "not a folder");
}

TEST(Sha256OfFile, KnownDigests) {
  ScopedTempDir temp;
  write_file(temp.join("空.bin"), "");
  write_file(temp.join("abc.bin"), "abc");
  write_file(temp.join("million.bin"), std::string(1'000'000, 'a'));
  write_file(temp.join("one-mib.bin"), std::string(1'048'576, 'a'));
  EXPECT_EQ(win::sha256_of_file(temp.join("空.bin")).value_or("?"),
            "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
  EXPECT_EQ(win::sha256_of_file(temp.join("abc.bin")).value_or("?"),
            "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  EXPECT_EQ(win::sha256_of_file(temp.join("million.bin")).value_or("?"),
            "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
  EXPECT_EQ(win::sha256_of_file(temp.join("one-mib.bin")).value_or("?"),
            "9BC1B2A288B26AF7257A36277AE3816A7D4F16E89C1E7E77D0A5C48BAD62B360");
}

TEST(Sha256OfFile, StreamsAcrossBufferBoundariesLikeHashingInMemory) {
  ScopedTempDir temp;
  const std::string bytes = pattern_bytes(2'621'441);  // 2.5 MiB and one byte
  write_file(temp.join("pattern.bin"), bytes);
  const auto fromFile = win::sha256_of_file(temp.join("pattern.bin"));
  ASSERT_TRUE(fromFile) << fromFile.error();
  EXPECT_EQ(*fromFile, "3BD3D5A18C2E1FCBADE44C73F912C0864BEB6E39691C52719473AEB442658FE7");
  EXPECT_TRUE(is_digest_text(*fromFile));
  const auto inMemory = win::sha256_of_bytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  ASSERT_TRUE(inMemory) << inMemory.error();
  EXPECT_EQ(*inMemory, *fromFile);
}

// The copy is written on a second thread while the next block is read and hashed: the digest
// and the copy must still cover the same bytes in the same order, and a failed write must come
// back with the caller's text, not be lost on the other thread.
TEST(CopyHashing, CopiesAndHashesEveryBlockInOrderAndReportsAFailedWrite) {
  ScopedTempDir temp;
  const std::string bytes = pattern_bytes(2'621'441);  // 2.5 MiB and one byte
  write_file(temp.join("source.bin"), bytes);
  const auto open = [](const std::string& path, DWORD access, DWORD disposition) {
    return win::unique_file(::CreateFileW(win::wide(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  const auto source = open(temp.join("source.bin"), GENERIC_READ, OPEN_EXISTING);
  {
    const auto target = open(temp.join("copy.bin"), GENERIC_WRITE, CREATE_NEW);
    ASSERT_TRUE(source && target);
    const auto digest = win::copy_hashing(source.get(), target.get(), "复制失败：");
    ASSERT_TRUE(digest) << digest.error();
    EXPECT_EQ(*digest, "3BD3D5A18C2E1FCBADE44C73F912C0864BEB6E39691C52719473AEB442658FE7");
  }
  EXPECT_EQ(win::sha256_of_file(temp.join("copy.bin")).value_or("?"),
            "3BD3D5A18C2E1FCBADE44C73F912C0864BEB6E39691C52719473AEB442658FE7");
  write_file(temp.join("read-only.bin"), "");
  const auto readOnly = open(temp.join("read-only.bin"), GENERIC_READ, OPEN_EXISTING);
  ASSERT_TRUE(readOnly);
  const auto refused = win::copy_hashing(source.get(), readOnly.get(), "复制失败：");
  ASSERT_FALSE(refused);
  EXPECT_TRUE(refused.error().starts_with("复制失败：")) << refused.error();
}

TEST(Sha256OfFile, MissingFile) {
  ScopedTempDir temp;
  const auto digest = win::sha256_of_file(temp.join("没有.bin"));
  ASSERT_FALSE(digest);
  EXPECT_TRUE(digest.error().starts_with("读取校验文件失败：")) << digest.error();
  EXPECT_TRUE(digest.error().ends_with(" (os error 2)")) << digest.error();
}

TEST(Sha256OfFile, ReadsAFileAnotherWriterHoldsOpenWithSharing) {
  ScopedTempDir temp;
  const std::string path = temp.join("写着.bin");
  win::unique_file writer(::CreateFileW(win::wide(path).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(writer.get(), "abc", 3, &written, nullptr));
  EXPECT_EQ(win::sha256_of_file(path).value_or("?"), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
}

TEST(MoveIntoPlace, RenamesWhenThereIsNoTarget) {
  ScopedTempDir temp;
  write_file(temp.join("安装.partial"), "new");
  const auto moved = move_into_place(temp.join("安装.partial"), temp.join("安装.exe"));
  ASSERT_TRUE(moved) << moved.error();
  EXPECT_FALSE(file_exists(temp.join("安装.partial")));
  EXPECT_EQ(read_file(temp.join("安装.exe")), "new");
}

TEST(MoveIntoPlace, ReplacesAnOlderTarget) {
  ScopedTempDir temp;
  write_file(temp.join("a.partial"), "new");
  write_file(temp.join("a.exe"), "old and longer");
  ASSERT_TRUE(move_into_place(temp.join("a.partial"), temp.join("a.exe")));
  EXPECT_FALSE(file_exists(temp.join("a.partial")));
  EXPECT_EQ(read_file(temp.join("a.exe")), "new");
}

TEST(MoveIntoPlace, TargetInUseWithoutDeleteSharingLeavesBothFiles) {
  ScopedTempDir temp;
  write_file(temp.join("a.partial"), "new");
  write_file(temp.join("a.exe"), "old");
  win::unique_file holder(::CreateFileW(win::wide(temp.join("a.exe")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  const auto moved = move_into_place(temp.join("a.partial"), temp.join("a.exe"));
  ASSERT_FALSE(moved);
  EXPECT_TRUE(moved.error().starts_with("替换旧下载文件失败：")) << moved.error();
  EXPECT_TRUE(moved.error().ends_with(")")) << moved.error();
  holder.reset();
  EXPECT_EQ(read_file(temp.join("a.partial")), "new");
  EXPECT_EQ(read_file(temp.join("a.exe")), "old");
}

TEST(MoveIntoPlace, MissingSourceFailsWithTheSaveText) {
  ScopedTempDir temp;
  const auto moved = move_into_place(temp.join("none.partial"), temp.join("none.exe"));
  ASSERT_FALSE(moved);
  EXPECT_TRUE(moved.error().starts_with("保存下载文件失败：")) << moved.error();
  EXPECT_TRUE(moved.error().ends_with(" (os error 2)")) << moved.error();
}

TEST(MoveIntoPlace, AFileHeldWithoutSharingIsRenamedThroughItsHandle) {
  ScopedTempDir temp;
  write_file(temp.join("安装.exe"), "old");
  const std::string partial = temp.join("安装.partial");
  win::unique_file held(::CreateFileW(win::wide(partial).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(held.get(), "new", 3, &written, nullptr));
  // By name it cannot be moved while it is held; through the handle it can, and stays held.
  EXPECT_FALSE(move_into_place(partial, temp.join("安装.exe")));
  const auto moved = move_open_file_into_place(held.get(), temp.join("安装.exe"));
  ASSERT_TRUE(moved) << moved.error();
  EXPECT_FALSE(file_exists(partial));
  win::unique_file other(::CreateFileW(win::wide(temp.join("安装.exe")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(other) << "the renamed file is still held without sharing";
  held.reset();
  EXPECT_EQ(read_file(temp.join("安装.exe")), "new");
}

// --- the installer data folder is locked down when it is created or found ---

struct ReadBack {
  std::string owner;  // SID text
  bool isProtected = false;
  struct Ace {
    std::string sid;
    ACCESS_MASK mask;
    BYTE flags;
    BYTE type;
  };
  std::vector<Ace> aces;
};

ReadBack read_descriptor(PSECURITY_DESCRIPTOR descriptor) {
  ReadBack result;
  PSID owner = nullptr;
  BOOL ownerDefaulted = FALSE;
  PACL dacl = nullptr;
  BOOL daclPresent = FALSE;
  BOOL daclDefaulted = FALSE;
  EXPECT_TRUE(::GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted));
  EXPECT_TRUE(::GetSecurityDescriptorDacl(descriptor, &daclPresent, &dacl, &daclDefaulted));
  win::unique_hlocal<LPWSTR> sidText;
  if (owner != nullptr && ::ConvertSidToStringSidW(owner, sidText.put())) result.owner = win::narrow(sidText.get());
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ::GetSecurityDescriptorControl(descriptor, &control, &revision);
  result.isProtected = (control & SE_DACL_PROTECTED) != 0;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* raw = nullptr;
    if (!::GetAce(dacl, i, &raw)) continue;
    auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
    ReadBack::Ace entry{{}, ace->Mask, ace->Header.AceFlags, ace->Header.AceType};
    if (::ConvertSidToStringSidW(&ace->SidStart, sidText.put())) entry.sid = win::narrow(sidText.get());
    result.aces.push_back(entry);
  }
  return result;
}

ReadBack read_security(const std::string& path) {
  win::unique_hlocal<PSECURITY_DESCRIPTOR> descriptor;
  const DWORD status = ::GetNamedSecurityInfoW(win::wide(path).c_str(), SE_FILE_OBJECT,
                                               OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                                               nullptr, nullptr, nullptr, descriptor.put());
  EXPECT_EQ(status, static_cast<DWORD>(ERROR_SUCCESS)) << path;
  if (status != ERROR_SUCCESS) return {};
  return read_descriptor(descriptor.get());
}

ReadBack parse_descriptor(const wchar_t* sddl) {
  win::unique_hlocal<PSECURITY_DESCRIPTOR> descriptor;
  EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.put(), nullptr));
  if (!descriptor) return {};
  return read_descriptor(descriptor.get());
}

constexpr const char* kSystem = "S-1-5-18";
constexpr const char* kAdministrators = "S-1-5-32-544";
constexpr const char* kUsers = "S-1-5-32-545";
constexpr ACCESS_MASK kReadExecute = 0x1200A9;

void expect_locked_folder(const ReadBack& folder) {
  EXPECT_EQ(folder.owner, kAdministrators);
  EXPECT_TRUE(folder.isProtected);
  ASSERT_EQ(folder.aces.size(), 3u);
  const std::pair<const char*, ACCESS_MASK> expected[] = {
      {kSystem, FILE_ALL_ACCESS}, {kAdministrators, FILE_ALL_ACCESS}, {kUsers, kReadExecute}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(folder.aces[i].type, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(folder.aces[i].sid, expected[i].first);
    EXPECT_EQ(folder.aces[i].mask, expected[i].second);
    EXPECT_EQ(folder.aces[i].flags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  }
}

void expect_inherited_only(const ReadBack& entry, bool folder) {
  EXPECT_EQ(entry.owner, kAdministrators);
  EXPECT_FALSE(entry.isProtected);
  ASSERT_EQ(entry.aces.size(), 3u);
  const BYTE flags = INHERITED_ACE | (folder ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0);
  const char* sids[] = {kSystem, kAdministrators, kUsers};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(entry.aces[i].sid, sids[i]);
    EXPECT_EQ(entry.aces[i].flags, flags);
  }
  EXPECT_EQ(entry.aces[2].mask, kReadExecute);
}

TEST(InstallerDataFolder, TheDescriptorsLockTheTreeDown) {
  expect_locked_folder(parse_descriptor(win::kAdminFolderDescriptor));
  expect_inherited_only(parse_descriptor(win::kAdminChildFolderDescriptor), true);
  expect_inherited_only(parse_descriptor(win::kAdminChildFileDescriptor), false);
}

// Wine (8) accepts SetSecurityInfo but keeps no security descriptor on files: it reports the
// current user as owner and synthesises the DACL from the Unix mode bits. Where that is so, the
// read-back checks below cannot see anything and are skipped; on Windows they run in full.
bool system_keeps_file_security(const std::string& probeFolder) {
  win::unique_hlocal<PSECURITY_DESCRIPTOR> descriptor;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)",
                                                              SDDL_REVISION_1, descriptor.put(), nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
  const bool created = ::CreateDirectoryW(win::wide(probeFolder).c_str(), &attributes);
  descriptor.reset();
  if (!created) return false;
  const ReadBack back = read_security(probeFolder);
  ::RemoveDirectoryW(win::wide(probeFolder).c_str());
  return back.owner == kAdministrators && back.isProtected;
}

#define SKIP_WITHOUT_FILE_SECURITY(temp)                                                                   \
  if (!system_keeps_file_security((temp).join("probe"))) {                                                 \
    GTEST_SKIP() << "this system keeps no security descriptors on files; read back: owner "              \
                 << read_security((temp).join("VelkoInstaller")).owner;                                   \
  }

TEST(InstallerDataFolder, ANewFolderIsOwnedByAdministratorsWithAProtectedDacl) {
  ScopedTempDir temp;
  ScopedEnvironment programData("VELKO_TEST_PROGRAM_DATA", temp.path());
  const auto folder = win::downloads_folder();
  ASSERT_TRUE(folder) << folder.error();
  SKIP_WITHOUT_FILE_SECURITY(temp);
  expect_locked_folder(read_security(temp.join("VelkoInstaller")));
}

// The folders next to the data folder that a set-aside left behind.
std::vector<std::string> set_aside_folders(const ScopedTempDir& temp) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry{};
  win::unique_find find(::FindFirstFileW(win::wide(temp.join("VelkoInstaller.untrusted-*")).c_str(), &entry));
  if (!find) return names;
  do {
    names.push_back(temp.join(win::narrow(entry.cFileName)));
  } while (::FindNextFileW(find.get(), &entry));
  return names;
}

TEST(InstallerDataFolder, AFolderOthersCanChangeIsSetAsideWithEverythingInItAndAFreshOneMade) {
  ScopedTempDir temp;
  ScopedEnvironment programData("VELKO_TEST_PROGRAM_DATA", temp.path());
  // A standard user got there first and keeps write access: a record pointing at his own
  // folder, and a DLL beside where the bootstrapper will be written.
  test::make_directories(temp.join("VelkoInstaller\\downloads"));
  write_file(temp.join("VelkoInstaller\\install-location.txt"), "C:\\users\\someone\\fake");
  write_file(temp.join("VelkoInstaller\\downloads\\version.dll"), "planted");
  test::let_everyone_change(temp.join("VelkoInstaller"));

  const auto folder = win::downloads_folder();
  ASSERT_TRUE(folder) << folder.error();
  EXPECT_EQ(*folder, temp.join("VelkoInstaller\\downloads"));
  EXPECT_FALSE(file_exists(temp.join("VelkoInstaller\\install-location.txt")));
  EXPECT_FALSE(file_exists(temp.join("VelkoInstaller\\downloads\\version.dll")));
  EXPECT_EQ(win::is_trusted_tree(temp.join("VelkoInstaller")).value_or(false), true);
  // Nothing of the user's is lost.
  const auto aside = set_aside_folders(temp);
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(read_file(aside[0] + "\\install-location.txt"), "C:\\users\\someone\\fake");
  EXPECT_EQ(read_file(aside[0] + "\\downloads\\version.dll"), "planted");
}

TEST(InstallerDataFolder, OneEntryOthersCanChangeDeepInsideIsEnough) {
  ScopedTempDir temp;
  ScopedEnvironment programData("VELKO_TEST_PROGRAM_DATA", temp.path());
  ASSERT_TRUE(win::downloads_folder());
  write_file(temp.join("VelkoInstaller\\downloads\\MicrosoftEdgeWebview2Setup.exe"), "MZ");
  ASSERT_TRUE(win::prepare_installer_data_folder());
  EXPECT_TRUE(set_aside_folders(temp).empty()) << "a folder that is wholly ours stays where it is";
  EXPECT_TRUE(file_exists(temp.join("VelkoInstaller\\downloads\\MicrosoftEdgeWebview2Setup.exe")));

  test::let_everyone_change(temp.join("VelkoInstaller\\downloads\\MicrosoftEdgeWebview2Setup.exe"));
  const auto prepared = win::prepare_installer_data_folder();
  ASSERT_TRUE(prepared) << prepared.error();
  EXPECT_FALSE(file_exists(temp.join("VelkoInstaller\\downloads\\MicrosoftEdgeWebview2Setup.exe")));
  ASSERT_EQ(set_aside_folders(temp).size(), 1u);
}

TEST(InstallerDataFolder, ReadersNeverCreateAndNeverSeeAForeignFolder) {
  ScopedTempDir temp;
  ScopedEnvironment programData("VELKO_TEST_PROGRAM_DATA", temp.path());
  EXPECT_FALSE(win::trusted_installer_data_folder());
  EXPECT_FALSE(file_exists(temp.join("VelkoInstaller")));

  test::make_directories(temp.join("VelkoInstaller"));
  EXPECT_EQ(win::trusted_installer_data_folder(), temp.join("VelkoInstaller"));

  test::let_everyone_change(temp.join("VelkoInstaller"));
  EXPECT_FALSE(win::trusted_installer_data_folder());
  EXPECT_FALSE(file_exists(temp.join("VelkoInstaller")));
  EXPECT_EQ(set_aside_folders(temp).size(), 1u);
}

TEST(InstallerDataFolder, ALinkInItsPlaceIsNeverFollowed) {
  ScopedTempDir temp;
  ScopedEnvironment programData("VELKO_TEST_PROGRAM_DATA", temp.path());
  test::make_directories(temp.join("elsewhere"));
  write_file(temp.join("elsewhere\\kept.txt"), "kept");
  test::make_directory_link(temp.join("VelkoInstaller"), temp.join("elsewhere"));
  // Windows removes the link and makes a real folder; Wine cannot remove a link to a folder
  // that holds something, and then the folder is not used at all.
  const auto folder = win::downloads_folder();
  if (folder) {
    const auto plain = win::is_plain_directory(temp.join("VelkoInstaller"));
    EXPECT_TRUE(plain && *plain);
  }
  EXPECT_FALSE(file_exists(temp.join("elsewhere\\downloads")));
  EXPECT_EQ(read_file(temp.join("elsewhere\\kept.txt")), "kept");
}

TEST(InstallerDataFolder, ALaterCallSetsALoosenedFolderAsideAndLocksTheNewOne) {
  ScopedTempDir temp;
  ScopedEnvironment programData("VELKO_TEST_PROGRAM_DATA", temp.path());
  ASSERT_TRUE(win::downloads_folder());
  SKIP_WITHOUT_FILE_SECURITY(temp);
  // Loosen it again behind the program's back.
  test::let_everyone_change(temp.join("VelkoInstaller"));
  ASSERT_FALSE(read_security(temp.join("VelkoInstaller")).isProtected);

  const auto prepared = win::prepare_installer_data_folder();
  ASSERT_TRUE(prepared) << prepared.error();
  EXPECT_EQ(*prepared, temp.join("VelkoInstaller"));
  EXPECT_EQ(set_aside_folders(temp).size(), 1u);
  expect_locked_folder(read_security(temp.join("VelkoInstaller")));
}

}  // namespace
}  // namespace velko
