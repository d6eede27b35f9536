#include "common/folder_trust.h"

#include <gtest/gtest.h>

#include "common/sddl.h"

namespace velko {
namespace {

constexpr char kOwnUser[] = "S-1-5-21-1111-2222-3333-1001";
constexpr char kOtherUser[] = "S-1-5-21-1111-2222-3333-1002";
constexpr char kAdminFolder[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// The decisions on a descriptor written in SDDL; a text that cannot be read decides nothing.
bool trusted(const std::string& sddl, std::string_view ownUser = kOwnUser) {
  const auto descriptor = parse_sddl(sddl);
  return descriptor && is_trusted_descriptor(*descriptor, ownUser);
}
bool owner_trusted(const std::string& sddl) {
  const auto descriptor = parse_sddl(sddl);
  return descriptor && has_trusted_owner(*descriptor, kOwnUser);
}
bool keeps_in_place(const std::string& sddl, std::string_view ownUser, bool isVolumeRoot = false) {
  const auto descriptor = parse_sddl(sddl);
  return descriptor && keeps_its_children_in_place(*descriptor, ownUser, isVolumeRoot);
}

TEST(SecurityDescriptor, ReadsOwnerProtectionAndEntries) {
  const auto descriptor = parse_sddl(kAdminFolder);
  ASSERT_TRUE(descriptor);
  EXPECT_EQ(descriptor->owner, "S-1-5-32-544");
  EXPECT_FALSE(descriptor->nullDacl);
  EXPECT_TRUE(descriptor->daclProtected);
  ASSERT_EQ(descriptor->dacl.size(), 3u);
  EXPECT_EQ(descriptor->dacl[0].kind, AceKind::Allow);
  EXPECT_EQ(descriptor->dacl[0].flags, kObjectInherit | kContainerInherit);
  EXPECT_EQ(descriptor->dacl[0].mask, 0x1F01FFu);
  EXPECT_EQ(descriptor->dacl[0].sid, "S-1-5-18");
  EXPECT_EQ(descriptor->dacl[2].mask, 0x1200A9u);
  EXPECT_EQ(descriptor->dacl[2].sid, "S-1-5-32-545");
}

TEST(SecurityDescriptor, ReadsWhatWindowsAndWineWriteBack) {
  // As read back from a folder under Wine with mode 777, and as Windows writes inherited entries.
  const auto wine = parse_sddl("O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)"
                               "(A;OICI;0x1301ff;;;WD)");
  ASSERT_TRUE(wine);
  EXPECT_EQ(wine->owner, "S-1-5-21-0-0-0-1000");
  EXPECT_FALSE(wine->daclProtected);
  ASSERT_EQ(wine->dacl.size(), 3u);
  EXPECT_EQ(wine->dacl[2].mask, 0x1301FFu);
  EXPECT_EQ(wine->dacl[2].sid, "S-1-1-0");

  const auto windows = parse_sddl("O:BAG:SYD:AI(A;ID;FA;;;SY)(A;OICIIOID;GA;;;CO)(A;ID;0x1200a9;;;BU)S:AI(AU;SA;FA;;;WD)");
  ASSERT_TRUE(windows);
  ASSERT_EQ(windows->dacl.size(), 3u);
  EXPECT_EQ(windows->dacl[0].flags, kInheritedAce);
  EXPECT_EQ(windows->dacl[1].flags, kObjectInherit | kContainerInherit | kInheritOnly | kInheritedAce);
  EXPECT_EQ(windows->dacl[1].mask, 0x10000000u);
  EXPECT_EQ(windows->dacl[1].sid, "S-1-3-0");
}

TEST(SecurityDescriptor, RightsAsLettersOrNumbers) {
  const auto letters = parse_sddl("O:SYD:(A;;WDWOSDRC;;;AU)(A;;FW;;;IU)(A;;0x10;;;BU)(A;;16;;;BU)(A;;020;;;BU)");
  ASSERT_TRUE(letters);
  ASSERT_EQ(letters->dacl.size(), 5u);
  EXPECT_EQ(letters->dacl[0].mask, 0x40000u | 0x80000u | 0x10000u | 0x20000u);
  EXPECT_EQ(letters->dacl[0].sid, "S-1-5-11");
  EXPECT_EQ(letters->dacl[1].mask, 0x120116u);
  EXPECT_EQ(letters->dacl[2].mask, 0x10u);
  EXPECT_EQ(letters->dacl[3].mask, 16u);
  EXPECT_EQ(letters->dacl[4].mask, 16u);
}

TEST(SecurityDescriptor, NullAndEmptyDacl) {
  const auto none = parse_sddl("O:BA");
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->nullDacl);
  const auto noAccessControl = parse_sddl("O:BAD:NO_ACCESS_CONTROL");
  ASSERT_TRUE(noAccessControl);
  EXPECT_TRUE(noAccessControl->nullDacl);
  const auto empty = parse_sddl("O:BAD:P");
  ASSERT_TRUE(empty);
  EXPECT_FALSE(empty->nullDacl);
  EXPECT_TRUE(empty->dacl.empty());
}

TEST(SecurityDescriptor, RefusesMalformedText) {
  for (const char* text : {"O", "O:", "X:BA", "O:BAO:SY", "O:BAD:(A;;FA;;SY)", "O:BAD:(A;;FA;;;SY", "O:BAD:(Q;;FA;;;SY)",
                           "O:BAD:(A;QQ;FA;;;SY)", "O:BAD:(A;;ZZ;;;SY)", "O:BAD:(A;;;;;SY)", "O:BAD:(A;;0xZZ;;;SY)",
                           "O:BAD:(A;;FA;;;S-)", "O:BAD:(A;;FA;;;sy)", "O:BAD:NO_ACCESS_CONTROL(A;;FA;;;SY)",
                           "O:BAD:Q(A;;FA;;;SY)", "O:BAD:(A;;FA;;;SY)x", "O:BAD:(A;;0x100000000;;;SY)",
                           // A parenthesis in a condition's text must not swallow the entry after it.
                           "O:BAD:(XD;;FA;;;WD;(@User.a == \"(\"))(A;;FA;;;BU)(XD;;FA;;;WD;(@User.b == \")\"))",
                           "O:BAD:(XD;;FA;;;WD;(@User.a == \"))S:(AU;SA;FA;;;WD;(@User.b == \"))(A;;FA;;;BU)"}) {
    EXPECT_FALSE(parse_sddl(text)) << text;
  }
}

TEST(SecurityDescriptor, UnknownAliasIsKeptAndNotTrusted) {
  const auto descriptor = parse_sddl("O:DAD:(A;;FA;;;DU)");
  ASSERT_TRUE(descriptor);
  EXPECT_EQ(descriptor->owner, "DA");
  EXPECT_FALSE(trusted("O:DAD:(A;;FA;;;SY)"));
  EXPECT_FALSE(trusted("O:BAD:(A;;FA;;;DU)"));
}

TEST(FolderTrust, TrustedOwners) {
  EXPECT_TRUE(trusted(kAdminFolder));
  EXPECT_TRUE(trusted("O:SYD:(A;;FA;;;SY)"));
  EXPECT_TRUE(trusted("O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:(A;;FA;;;SY)"));
  EXPECT_TRUE(trusted(std::string("O:") + kOwnUser + "D:(A;;FA;;;SY)"));
  // Wine reads every folder back as owned by the user it runs as.
  EXPECT_TRUE(trusted("O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)"
                      "(A;OICI;0x1200a9;;;WD)",
                      "S-1-5-21-0-0-0-1000"));
}

TEST(FolderTrust, OwnerAlone) {
  // What a take-over of a loosened folder asks of every entry in it: made by an administrator.
  EXPECT_TRUE(owner_trusted("O:BAD:AI(A;ID;0x1301ff;;;AU)"));
  EXPECT_TRUE(owner_trusted(std::string("O:") + kOwnUser + "D:(A;ID;0x1301ff;;;AU)"));
  EXPECT_FALSE(owner_trusted(std::string("O:") + kOtherUser + "D:P(A;;FA;;;SY)"));
  EXPECT_FALSE(owner_trusted("D:P(A;;FA;;;SY)"));
  EXPECT_FALSE(owner_trusted("O:BA\""));
}

TEST(FolderTrust, ForeignOwnerCanRewriteThePermissions) {
  EXPECT_FALSE(trusted(std::string("O:") + kOtherUser + "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"));
  EXPECT_FALSE(trusted("O:BUD:P(A;OICI;FA;;;SY)"));
  EXPECT_FALSE(trusted("D:P(A;OICI;FA;;;SY)"));  // no owner known
  // An unknown own user trusts nobody by that name, not an empty one.
  EXPECT_FALSE(trusted(std::string("O:") + kOtherUser + "D:(A;;FA;;;SY)", ""));
}

TEST(FolderTrust, AnyChangingRightForOthersIsNotTrusted) {
  struct Case {
    const char* rights;
    bool changes;
  };
  for (const Case& c : {Case{"0x1200a9", false}, Case{"FR", false}, Case{"FX", false}, Case{"RC", false},
                        Case{"0x2", true}, Case{"0x4", true}, Case{"0x10", true}, Case{"0x40", true},
                        Case{"0x100", true}, Case{"SD", true}, Case{"WD", true}, Case{"WO", true}, Case{"GA", true},
                        Case{"GW", true}, Case{"FW", true}, Case{"FA", true}, Case{"0x1301ff", true}}) {
    for (const char* who : {"BU", "AU", "WD", "IU", "S-1-5-21-1111-2222-3333-1002"}) {
      const std::string sddl = std::string("O:BAD:P(A;;FA;;;SY)(A;;") + c.rights + ";;;" + who + ")";
      EXPECT_EQ(trusted(sddl), !c.changes) << sddl;
    }
  }
}

TEST(FolderTrust, InheritableEntriesCountAndPlaceholdersDoNot) {
  // Handed down only to what is created below: the next file we write there would be open.
  EXPECT_FALSE(trusted("O:BAD:P(A;OICIIO;FA;;;SY)(A;OICIIO;0x1301ff;;;AU)"));
  // Windows' usual "CREATOR OWNER" entry gives the creator of each new entry its rights.
  EXPECT_TRUE(trusted("O:BAD:P(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;;0x1301ff;;;OW)"));
  // Inherited entries are judged like any other.
  EXPECT_FALSE(trusted("O:BAD:AI(A;ID;FA;;;SY)(A;ID;0x1301ff;;;AU)"));
}

TEST(FolderTrust, DenyEntriesAreNotCredited) {
  EXPECT_FALSE(trusted("O:BAD:P(D;;FA;;;BU)(A;;FA;;;BU)"));
  EXPECT_TRUE(trusted("O:BAD:P(D;;FA;;;BU)(A;;FA;;;SY)"));
}

TEST(FolderTrust, NullDaclIsNotTrustedEmptyIs) {
  EXPECT_FALSE(trusted("O:BAD:NO_ACCESS_CONTROL"));
  EXPECT_FALSE(trusted("O:BA"));
  EXPECT_TRUE(trusted("O:BAD:P"));
  EXPECT_FALSE(trusted("not a descriptor"));
}

TEST(FolderTrust, FoldersAboveAnInstallation) {
  const auto keeps = [](const std::string& sddl) { return keeps_in_place(sddl, kOwnUser); };
  // A drive's root as Windows formats it: everyone may add folders, and what they add is theirs
  // to change, but nobody may rename or delete what an administrator made there.
  EXPECT_TRUE(keeps("O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;0x1301bf;;;AU)(A;;0x4;;;AU)(A;OICI;0x1200a9;;;BU)"));
  // A folder made there earlier inherits "modify" for Authenticated Users: its children can be
  // renamed away, and it can itself.
  EXPECT_FALSE(keeps("O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1301bf;;;AU)"));
  EXPECT_FALSE(keeps("O:BAD:P(A;;0x40;;;BU)"));
  EXPECT_FALSE(keeps("O:BAD:P(A;;WD;;;WD)"));
  EXPECT_FALSE(keeps("O:BAD:P(A;;GA;;;IU)"));
  EXPECT_FALSE(keeps(std::string("O:") + kOtherUser + "D:P(A;;FA;;;SY)"));
  EXPECT_FALSE(keeps("O:BAD:NO_ACCESS_CONTROL"));
  // Writing (adding entries) alone does not let anyone move what is there.
  EXPECT_TRUE(keeps("O:BAD:P(A;;FA;;;SY)(A;;0x116;;;BU)"));
}

TEST(FolderTrust, UntrustedInstallFolder) {
  struct Case {
    bool empty, installation, productName;
    UntrustedFolderAction action;
  };
  for (const Case& c : {Case{true, false, false, UntrustedFolderAction::Recreate},
                        Case{true, false, true, UntrustedFolderAction::Recreate},
                        Case{false, true, true, UntrustedFolderAction::SetAside},
                        // The user's own folder that also holds an installation is his: nothing moves.
                        Case{false, true, false, UntrustedFolderAction::Refuse},
                        Case{false, false, true, UntrustedFolderAction::Refuse},
                        Case{false, false, false, UntrustedFolderAction::Refuse}}) {
    EXPECT_EQ(untrusted_install_folder_action(c.empty, c.installation, c.productName), c.action)
        << c.empty << c.installation << c.productName;
  }
}

TEST(FolderTrust, SetAsideName) {
  EXPECT_EQ(set_aside_folder_name("VelkoTarn工作台", "20261209", 3), "VelkoTarn工作台.untrusted-20261209-3");
}

// Rules a one-character slip would turn into trusting what a standard user controls.
TEST(FolderTrust, EntriesThatOnlyLookHarmless) {
  struct Case {
    const char* sddl;
    bool trusted;
  };
  for (const Case& c : {
           // Object and conditional allow entries allow like plain ones.
           Case{"O:BAD:P(A;;FA;;;SY)(OA;;FA;;;BU)", false},
           Case{"O:BAD:P(A;;FA;;;SY)(XA;;FA;;;BU;(@User.x == 1))", false},
           Case{"O:BAD:P(A;;FA;;;SY)(ZA;;FA;;;BU)", false},
           // Taking ownership is enough to rewrite everything else.
           Case{"O:BAD:P(A;;FA;;;SY)(A;;WO;;;BU)", false},
           Case{"O:BAD:P(A;;FA;;;SY)(A;;0x80000;;;BU)", false},
           // CREATOR GROUP is no stand-in for the owner.
           Case{"O:BAD:P(A;;FA;;;SY)(A;OICI;FA;;;CG)", false},
           Case{"O:BAD:P(A;;FA;;;SY)(A;OICI;FA;;;CO)", true},
           // Rights with anything after them are not read as their valid start.
           Case{"O:BAD:P(A;;FA;;;SY)(A;;0x1200a9Q;;;BU)", false},
           Case{"O:BAD:P(A;;FA;;;SY)(A;;RCW;;;BU)", false},
       }) {
    EXPECT_EQ(trusted(c.sddl), c.trusted) << c.sddl;
  }
}

// The descriptors stock Windows 10/11 machines carry, and whether a folder an administrator makes
// below each with an admin-only descriptor stays his (`user` stands for the signed-in user).
TEST(FolderTrust, StockDescriptorsAboveAnInstallation) {
  constexpr char kTi[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  struct Case {
    const char* where;
    std::string sddl;
    bool volumeRoot;
    bool keeps;              // with a linked token: the user's own rights count as anyone's
    bool keepsWithoutLink;   // the built-in Administrator or UAC off: the user is the administrator
  };
  const std::string user = kOwnUser;
  const std::string ti = kTi;
  const Case cases[] = {
      {"C:\\", "O:" + ti + "G:" + ti +
                   "D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)",
       true, true, true},
      {"D:\\ (Authenticated Users modify on the root)",
       "O:BAG:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;AU)(A;OICI;0x1200a9;;;BU)", true, true, true},
      {"D:\\ (inherit-only modify, create folders)",
       "O:BAG:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)(A;OICI;0x1200a9;;;BU)", true,
       true, true},
      {"D:\\ (converted from FAT)", "O:BAD:(A;OICI;FA;;;WD)", true, false, false},
      {"E:\\ (FAT, exFAT: no descriptor)", "D:NO_ACCESS_CONTROL", true, false, false},
      {"C:\\Program Files",
       "O:" + ti + "G:" + ti + "D:PAI(A;;FA;;;" + ti + ")(A;CIIO;GA;;;" + ti +
           ")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
           "(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)(A;OICIIO;GXGR;;;AC)",
       false, true, true},
      {"C:\\ProgramData",
       "O:SYG:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)(A;CI;DCLCRPCR;;;BU)", false,
       true, true},
      {"C:\\Users\\user", "O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + ")", false, false, true},
      {"C:\\Users\\user\\Downloads",
       "O:" + user + "D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;FA;;;" + user + ")", false, false, true},
      // A volume root's own DELETE moves nothing, but deleting its children or rewriting it does.
      {"root giving delete-child", "O:BAD:(A;OICI;FA;;;BA)(A;;0x40;;;AU)", true, false, false},
      {"root giving WRITE_DAC", "O:BAD:(A;OICI;FA;;;BA)(A;;WD;;;AU)", true, false, false},
      {"root giving WRITE_OWNER", "O:BAD:(A;OICI;FA;;;BA)(A;;WO;;;AU)", true, false, false},
      {"folder giving DELETE", "O:BAD:(A;OICI;FA;;;BA)(A;;SD;;;AU)", false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(keeps_in_place(c.sddl, "", c.volumeRoot), c.keeps) << c.where;
    EXPECT_EQ(keeps_in_place(c.sddl, kOwnUser, c.volumeRoot), c.keepsWithoutLink) << c.where;
    if (c.volumeRoot) {
      EXPECT_EQ(root_can_hold_admin_folder(parse_sddl(c.sddl)), c.keeps) << c.where;
    }
  }
  EXPECT_FALSE(root_can_hold_admin_folder(std::nullopt));
}

}  // namespace
}  // namespace velko
