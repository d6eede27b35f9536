// The install directory is made private to administrators before anything is put into it.
#include "install/install_directory.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "support/installation_fixture.h"
#include "support/links.h"
#include "support/scoped_temp_dir.h"
#include "win/child_process.h"
#include "win/directories.h"
#include "win/folder_security.h"
#include "win/security_descriptor.h"
#include "win/unique_any.h"
#include "win/wide.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "common/sddl.h"
#include "detect/installed_workbench.h"
#include "detect/running_workbench.h"
#include "launch/launch_handoff.h"

namespace velko {

// A failure shows a descriptor as what it holds: "owner, DACL (kind;flags;mask;sid)...".
void PrintTo(const SecurityDescriptor& descriptor, std::ostream* out) {
  *out << descriptor.owner.value_or("no owner") << (descriptor.nullDacl ? ", null DACL" : ", DACL")
       << (descriptor.daclProtected ? " protected" : "");
  for (const AccessEntry& entry : descriptor.dacl) {
    *out << " (" << static_cast<int>(entry.kind) << ";" << std::hex << entry.flags << ";" << entry.mask << std::dec
         << ";" << entry.sid << ")";
  }
}

}  // namespace velko

namespace velko::test {
namespace {

constexpr char kSharedFolderText[] = "所选目录可被其他用户修改且已有其他文件，请选择其他目录。";

bool trusted(const std::string& path) { return win::is_trusted_entry(path).value_or(false); }

TEST(InstallDirectory, AMissingFolderIsCreatedPrivateWithItsParents) {
  ScopedTempDir temp;
  const std::string directory = temp.join("上层\\VelkoTarn工作台");
  const auto prepared = prepare_install_directory(directory);
  ASSERT_TRUE(prepared) << prepared.error();
  EXPECT_TRUE(file_exists(directory));
  EXPECT_TRUE(trusted(directory));
  // The parent is not ours to change.
  EXPECT_TRUE(file_exists(temp.join("上层")));
}

TEST(InstallDirectory, AnExistingPrivateFolderIsUsedAsItIs) {
  ScopedTempDir temp;
  const std::string directory = temp.join("VelkoTarn工作台");
  make_directories(directory);
  write_file(directory + "\\notes.txt", "mine");
  ASSERT_TRUE(trusted(directory));
  const auto prepared = prepare_install_directory(directory);
  ASSERT_TRUE(prepared) << prepared.error();
  EXPECT_EQ(read_file(directory + "\\notes.txt"), "mine");
}

// The folders moved aside beside `directory`, by name.
std::vector<std::string> set_aside_beside(const std::string& directory) {
  std::vector<std::string> found;
  const std::string prefix = directory.substr(directory.find_last_of('\\') + 1) + ".untrusted-";
  const auto parent = directory.substr(0, directory.find_last_of('\\'));
  for (const std::string& name : win::folder_entry_names(parent).value_or(std::vector<std::string>{})) {
    if (name.starts_with(prefix)) found.push_back(parent + "\\" + name);
  }
  return found;
}

// Whatever others could have changed keeps its bytes with them: it is never made trusted in place.
// An empty folder is made afresh, the product's own folder holding an installation is moved aside
// whole and made afresh, anything else is refused untouched.
TEST(InstallDirectory, AFolderOthersCouldChangeIsNeverTrustedInPlace) {
  ScopedTempDir temp;
  struct Case {
    std::string directory;
    bool installation;
    const char* otherFile;  // nullptr: none
    bool accepted;
    bool setAside;
  };
  const Case cases[] = {
      {temp.join("空"), false, nullptr, true, false},
      {temp.join("VelkoTarn工作台"), true, nullptr, true, true},
      {temp.join("旧版\\VelkoTarn工作台"), true, "笔记.txt", true, true},
      {temp.join("我的工作台"), true, nullptr, false, false},
      {temp.join("下载"), false, "照片.jpg", false, false},
      {temp.join("别的\\VelkoTarn工作台"), false, "照片.jpg", false, false},
  };
  for (const Case& c : cases) {
    make_directories(c.directory);
    // What a standard user who can write the folder leaves there: the manifest still names the
    // release, the program is his.
    if (c.installation) write_valid_installation(c.directory, "1.0.0", "someone's program");
    if (c.otherFile != nullptr) write_file(c.directory + "\\" + c.otherFile, "mine");
    let_everyone_change(c.directory);
    const auto prepared = prepare_install_directory(c.directory);
    const auto aside = set_aside_beside(c.directory);
    if (!c.accepted) {
      ASSERT_FALSE(prepared) << c.directory;
      EXPECT_EQ(prepared.error(), kSharedFolderText) << c.directory;
      EXPECT_EQ(win::folder_entry_names(c.directory).value_or(std::vector<std::string>{}).size(),
                (c.installation ? 2u : 0u) + (c.otherFile ? 1u : 0u))
          << c.directory;
      EXPECT_TRUE(aside.empty()) << c.directory;
      continue;
    }
    ASSERT_TRUE(prepared) << c.directory << ": " << prepared.error();
    EXPECT_TRUE(win::folder_entry_names(c.directory).value_or(std::vector<std::string>{"?"}).empty()) << c.directory;
    EXPECT_TRUE(trusted(c.directory)) << c.directory;
    ASSERT_EQ(aside.size(), c.setAside ? 1u : 0u) << c.directory;
    if (c.setAside) {
      EXPECT_EQ(read_file(aside[0] + "\\VelkoTarn工作台.exe"), "someone's program");
      if (c.otherFile != nullptr) {
        EXPECT_EQ(read_file(aside[0] + "\\" + c.otherFile), "mine");
      }
    }
  }
}

TEST(InstallDirectory, WhatALaunchWouldRefuseIsLookedAtToo) {
  // A private folder whose program others can change: the product's own folder is moved aside and
  // made afresh, nothing of it kept in place; a folder of another name is left alone.
  ScopedTempDir temp;
  const std::string workbench = temp.join("VelkoTarn工作台");
  write_valid_installation(workbench, "1.0.0", "MZ");
  let_everyone_change(workbench + "\\VelkoTarn工作台.exe");
  ASSERT_TRUE(prepare_install_directory(workbench));
  EXPECT_FALSE(file_exists(workbench + "\\VelkoTarn工作台.exe"));
  ASSERT_EQ(set_aside_beside(workbench).size(), 1u);

  const std::string other = temp.join("别的");
  make_directories(other);
  write_file(other + "\\VelkoTarn工作台.exe", "someone's");
  let_everyone_change(other + "\\VelkoTarn工作台.exe");
  EXPECT_EQ(prepare_install_directory(other).error(), kSharedFolderText);
  EXPECT_EQ(read_file(other + "\\VelkoTarn工作台.exe"), "someone's");
}

// A current installation in a folder others could change is not current to detection, so the
// ordinary button installs again; nothing is deployed into it or started from it meanwhile.
TEST(InstallDirectory, AnInstallationOthersCouldChangeIsNeitherCurrentNorOpened) {
  ScopedTempDir temp;
  const std::string directory = temp.join("VelkoTarn工作台");
  write_valid_installation(directory, "1.0.0", "MZ");
  EXPECT_EQ(check_installed_workbench(directory, "1.0.0"), WorkbenchInstallState::Current);
  let_everyone_change(directory);
  EXPECT_EQ(check_installed_workbench(directory, "1.0.0"), WorkbenchInstallState::Older);
  const auto relaunched = relaunch_after_update(directory);
  ASSERT_FALSE(relaunched);
  EXPECT_EQ(relaunched.error(), "安装目录权限不安全，请重新运行安装程序修复。");
  EXPECT_FALSE(file_exists(directory + "\\运行组件"));
}

TEST(InstallDirectory, ALinkInTheFoldersPlaceIsRefusedByName) {
  ScopedTempDir temp;
  const std::string target = temp.join("真实目录");
  make_directories(target);
  const std::string link = temp.join("VelkoTarn工作台");
  make_directory_link(link, target);
  EXPECT_EQ(prepare_install_directory(link).error(), "所选安装目录是一个链接，请选择其他目录。");
  EXPECT_TRUE(set_aside_beside(link).empty());
}

// A share, or anything but a local drive, is refused before the file system is asked anything:
// under Wine "\\velko-test\share" is the prefix's dosdevices\unc\velko-test\share, where the old
// look would have found the installation and the old preparation made its folder.
TEST(InstallDirectory, NothingIsLookedAtOrMadeOnAShare) {
  // Wine keeps drive C: as dosdevices/c: and shares below dosdevices/unc.
  const std::string driveC = wine_unix_path("C:\\");
  const std::size_t dosDevices = driveC.rfind("/c:");
  if (dosDevices == std::string::npos) GTEST_SKIP() << "needs Wine's mapping of shares to a folder of the prefix";
  std::string share = "Z:" + driveC.substr(0, dosDevices) + "/unc/velko-test/share";
  std::replace(share.begin(), share.end(), '/', '\\');
  make_directories(share + "\\已安装");
  write_valid_installation(share + "\\已安装", "1.0.0", "MZ");
  ASSERT_TRUE(file_exists("\\\\velko-test\\share\\已安装\\install-manifest.json")) << "Wine maps shares elsewhere";
  for (const std::string& path : {std::string("\\\\velko-test\\share\\已安装"),
                                  std::string("\\\\?\\UNC\\velko-test\\share\\已安装")}) {
    EXPECT_FALSE(has_valid_installation(path)) << path;
    EXPECT_EQ(check_installed_workbench(path, "1.0.0"), WorkbenchInstallState::None) << path;
    EXPECT_EQ(is_workbench_running(path), false) << path;
  }
  for (const std::string& path : {std::string("\\\\velko-test\\share\\VelkoTarn工作台"),
                                  std::string("\\\\?\\UNC\\velko-test\\share\\VelkoTarn工作台"),
                                  std::string("\\\\.\\C:\\VelkoTarn工作台"), std::string("C:VelkoTarn工作台")}) {
    EXPECT_EQ(prepare_install_directory(path).error(), "安装目录必须位于本机磁盘，请选择其他目录。") << path;
  }
  EXPECT_FALSE(file_exists(share + "\\VelkoTarn工作台"));
  EXPECT_EQ(win::folder_entry_names(share).value_or(std::vector<std::string>{}).size(), 1u);
}

// In Admin Approval Mode the same user's unelevated programs can change whatever he owns: with a
// linked token (which Wine always gives) his own folders are not trusted. The test harness takes
// the token as unlinked, since Wine reads every owner back as that user.
TEST(FolderSecurity, TheOwnUserCountsOnlyWithoutALinkedToken) {
  ScopedTempDir temp;
  const std::string folder = temp.join("自己的");
  ASSERT_TRUE(win::create_secure_folder(folder));
  EXPECT_TRUE(trusted(folder));
  ScopedEnvironment linked("VELKO_TEST_UNLINKED_TOKEN", std::nullopt);
  if (!win::own_user_sid().empty()) GTEST_SKIP() << "this process's token has no linked token";
  EXPECT_FALSE(trusted(folder)) << "owned by the user alone";
}

// A SID the system knows by name.
std::vector<DWORD> well_known_sid(WELL_KNOWN_SID_TYPE type) {
  std::vector<DWORD> sid(SECURITY_MAX_SID_SIZE / sizeof(DWORD));
  DWORD size = SECURITY_MAX_SID_SIZE;
  EXPECT_TRUE(::CreateWellKnownSid(type, nullptr, sid.data(), &size));
  return sid;
}

// An entry of any type, laid out as the system lays it out (Wine builds no object entries): the
// header, the mask, for an object type its object flags and types, and the SID.
void add_entry(PACL acl, BYTE type, BYTE flags, ACCESS_MASK mask, PSID sid, bool isObject = false,
               const GUID* objectType = nullptr, const GUID* inheritedObjectType = nullptr) {
  std::vector<BYTE> ace(sizeof(ACE_HEADER));
  const auto append = [&](const void* data, std::size_t size) {
    ace.insert(ace.end(), static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
  };
  append(&mask, sizeof mask);
  if (isObject) {
    const DWORD present =
        (objectType ? ACE_OBJECT_TYPE_PRESENT : 0) | (inheritedObjectType ? ACE_INHERITED_OBJECT_TYPE_PRESENT : 0);
    append(&present, sizeof present);
    if (objectType) append(objectType, sizeof(GUID));
    if (inheritedObjectType) append(inheritedObjectType, sizeof(GUID));
  }
  append(sid, ::GetLengthSid(sid));
  ace.resize((ace.size() + 3) / 4 * 4);
  const ACE_HEADER header{type, flags, static_cast<WORD>(ace.size())};
  std::memcpy(ace.data(), &header, sizeof header);
  EXPECT_TRUE(::AddAce(acl, ACL_REVISION_DS, MAXDWORD, ace.data(), ace.size()));
}

ACE_HEADER* first_entry(PACL acl) { return reinterpret_cast<ACE_HEADER*>(reinterpret_cast<BYTE*>(acl) + sizeof(ACL)); }

// The program reads owners and entries from the descriptor itself, the tests write descriptors in
// SDDL: both must read a descriptor alike, or the tests would judge something else than the
// program does. So must the system's own SDDL for it, which the program once read instead.
TEST(FolderSecurity, ADescriptorReadsAsItsSddlReads) {
  const auto system_sddl = [](PSECURITY_DESCRIPTOR descriptor) {
    win::unique_hlocal<LPWSTR> text;
    EXPECT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, text.put(), nullptr));
    return text ? win::narrow(text.get()) : std::string();
  };
  auto admins = well_known_sid(WinBuiltinAdministratorsSid);
  auto users = well_known_sid(WinBuiltinUsersSid);
  GUID objectType{0xbf967aba, 0x0de6, 0x11d0, {0xa2, 0x85, 0x00, 0xaa, 0x00, 0x30, 0x49, 0xe2}};
  struct Case {
    std::string sddl;  // as Windows writes it; empty: the descriptor cannot be read
    // The entries of a descriptor owned by Administrators, for those that Wine cannot make from
    // SDDL (object and conditional entries, a null DACL) or writes back wrong (a null DACL as an
    // empty one, a conditional entry without its type): only their own SDDL is compared.
    std::function<void(PACL)> fill;
    bool nullDacl = false;
  };
  const Case cases[] = {
      {win::narrow(win::kAdminFolderDescriptor), {}},
      {win::narrow(win::kAdminChildFileDescriptor), {}},
      {"O:BAD:PAI(A;OICI;FA;;;SY)(D;OICI;WDWO;;;BU)(A;OICIIOID;GA;;;CO)(A;NPID;0x1301bf;;;WD)(AU;SA;FA;;;BU)", {}},
      {"O:S-1-5-21-1111-2222-3333-1001D:(A;;FA;;;S-1-5-21-1111-2222-3333-1001)", {}},
      {"O:BA", {}},
      {"D:P", {}},
      {"O:BAD:(OA;CI;DC;bf967aba-0de6-11d0-a285-00aa003049e2;;BU)(OA;;FA;;;BU)"
       "(OD;;FA;;bf967aba-0de6-11d0-a285-00aa003049e2;BA)",
       [&](PACL acl) {
         add_entry(acl, ACCESS_ALLOWED_OBJECT_ACE_TYPE, CONTAINER_INHERIT_ACE, FILE_ADD_FILE, users.data(), true,
                   &objectType);
         add_entry(acl, ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0, FILE_ALL_ACCESS, users.data(), true);
         add_entry(acl, ACCESS_DENIED_OBJECT_ACE_TYPE, 0, FILE_ALL_ACCESS, admins.data(), true, nullptr, &objectType);
       }},
      {"O:BAD:(XA;;FA;;;BU)",
       [&](PACL acl) { add_entry(acl, ACCESS_ALLOWED_CALLBACK_ACE_TYPE, 0, FILE_ALL_ACCESS, users.data()); }},
      {"O:BAD:NO_ACCESS_CONTROL", [](PACL) {}, true},
      // A type whose layout the program does not know: what cannot be read cannot be trusted.
      {"",
       [&](PACL acl) { add_entry(acl, ACCESS_ALLOWED_COMPOUND_ACE_TYPE, 0, FILE_ALL_ACCESS, users.data()); }},
      // Sizes the system did not check (a descriptor from a volume someone brought): an entry
      // too short for its SID, and one that runs past the end of its list.
      {"",
       [&](PACL acl) {
         add_entry(acl, ACCESS_ALLOWED_ACE_TYPE, 0, FILE_ALL_ACCESS, users.data());
         first_entry(acl)->AceSize = sizeof(ACE_HEADER) + sizeof(ACCESS_MASK) + 4;
       }},
      {"",
       [&](PACL acl) {
         add_entry(acl, ACCESS_ALLOWED_ACE_TYPE, 0, FILE_ALL_ACCESS, users.data());
         first_entry(acl)->AceSize = static_cast<WORD>(acl->AclSize);
       }},
  };
  for (const Case& c : cases) {
    win::unique_hlocal<PSECURITY_DESCRIPTOR> written;
    std::vector<DWORD> acl(256);
    SECURITY_DESCRIPTOR built{};
    PSECURITY_DESCRIPTOR descriptor = &built;
    if (c.fill) {
      ASSERT_TRUE(::InitializeAcl(reinterpret_cast<PACL>(acl.data()), acl.size() * sizeof(DWORD), ACL_REVISION_DS));
      c.fill(reinterpret_cast<PACL>(acl.data()));
      ::InitializeSecurityDescriptor(&built, SECURITY_DESCRIPTOR_REVISION);
      ::SetSecurityDescriptorOwner(&built, admins.data(), FALSE);
      ::SetSecurityDescriptorDacl(&built, TRUE, c.nullDacl ? nullptr : reinterpret_cast<PACL>(acl.data()), FALSE);
    } else {
      ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(win::wide(c.sddl).c_str(), SDDL_REVISION_1,
                                                                         written.put(), nullptr));
      descriptor = written.get();
    }
    const auto direct = win::read_security_descriptor(descriptor);
    if (c.sddl.empty()) {
      ASSERT_FALSE(direct) << testing::PrintToString(*direct);
      EXPECT_EQ(direct.error(), static_cast<std::uint32_t>(ERROR_INVALID_ACL));
      continue;
    }
    ASSERT_TRUE(direct) << c.sddl;
    EXPECT_EQ(*direct, parse_sddl(c.sddl)) << c.sddl;
    if (!c.fill) {
      const std::string text = system_sddl(descriptor);
      EXPECT_EQ(*direct, parse_sddl(text)) << c.sddl << " read back as " << text;
    }
  }

  // Folders as the system keeps them.
  ScopedTempDir temp;
  const std::string loosened = temp.join("松");
  make_directories(loosened);
  let_everyone_change(loosened);
  for (const std::string& folder : {temp.path(), loosened}) {
    win::unique_file entry(::CreateFileW(win::wide(folder).c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(entry) << folder;
    win::unique_hlocal<PSECURITY_DESCRIPTOR> descriptor;
    ASSERT_EQ(::GetSecurityInfo(entry.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, nullptr, nullptr, descriptor.put()),
              static_cast<DWORD>(ERROR_SUCCESS));
    const auto direct = win::entry_security_descriptor(entry.get());
    ASSERT_TRUE(direct) << folder;
    const std::string text = system_sddl(descriptor.get());
    EXPECT_EQ(*direct, parse_sddl(text)) << folder << " read back as " << text;
  }
}

// However deep an installation keeps its data, it is judged whole; folders are held while what is
// below them is looked at.
TEST(FolderSecurity, ADeepTreeIsJudgedWhole) {
  ScopedTempDir temp;
  const std::string root = temp.join("深");
  std::string deepest = root;
  for (int level = 0; level < 24; ++level) deepest += "\\层" + std::to_string(level);
  make_directories(deepest);
  write_file(deepest + "\\数据.bin", "data");
  EXPECT_EQ(win::is_trusted_tree(root), true);
  let_everyone_change(deepest + "\\数据.bin");
  EXPECT_EQ(win::is_trusted_tree(root), false);
}

TEST(InstallDirectory, AFolderAboveThatOthersCanRearrangeIsRefused) {
  // Someone who may rename "应用" can move the installation away and put his own tree in its place.
  ScopedTempDir temp;
  const std::string above = temp.join("应用");
  make_directories(above);
  let_everyone_change(above);
  const std::string directory = above + "\\VelkoTarn工作台";
  EXPECT_EQ(prepare_install_directory(directory).error(), "所选目录的上级目录可被其他用户改名，请选择其他目录。");
  EXPECT_FALSE(file_exists(directory));
  write_valid_installation(directory, "1.0.0", "MZ");
  EXPECT_EQ(is_private_installation(directory, directory + "\\VelkoTarn工作台.exe"), false);
}

TEST(InstallDirectory, PrivateInstallation) {
  ScopedTempDir temp;
  const std::string directory = temp.join("VelkoTarn工作台");
  write_valid_installation(directory, "1.0.0", "MZ");
  const std::string program = directory + "\\VelkoTarn工作台.exe";
  EXPECT_EQ(is_private_installation(directory, program), true);
  EXPECT_EQ(is_private_installation(directory, {}), true);
  const auto missing = is_private_installation(directory, directory + "\\没有.exe");
  ASSERT_FALSE(missing);
  EXPECT_TRUE(missing.error().starts_with("检查安装目录权限失败：")) << missing.error();
  make_directories(directory + "\\运行组件");
  EXPECT_EQ(is_private_installation(directory, program), true);
  let_everyone_change(directory + "\\运行组件");
  EXPECT_EQ(is_private_installation(directory, program), false);
  EXPECT_EQ(is_private_installation(directory, {}), false);
}

// Children never work in the folder this elevated program was started in.
TEST(ChildProcess, StartsInTheSystemFolderUnlessToldOtherwise) {
  ScopedTempDir temp;
  wchar_t saved[MAX_PATH * 4] = {};
  ::GetCurrentDirectoryW(MAX_PATH * 4, saved);
  ASSERT_TRUE(::SetCurrentDirectoryW(win::wide(temp.path()).c_str()));
  const std::string output = temp.join("cwd.txt");
  win::ProcessLaunch launch;
  launch.program = win::system_directory() + "\\cmd.exe";
  launch.arguments = {"/c", "cd", ">", output};
  auto child = win::start_process(launch);
  ::SetCurrentDirectoryW(saved);
  ASSERT_TRUE(child);
  ASSERT_TRUE(win::wait_for_exit(*child));
  const std::string text = read_file(output);
  EXPECT_EQ(text.substr(0, text.find_first_of("\r\n")), win::system_directory());
}

}  // namespace
}  // namespace velko::test
