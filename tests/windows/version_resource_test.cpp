// The version resource of the built program, read the way Explorer's properties page reads it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/paths.h"
#include "velko_version.h"
#include "win/wide.h"

namespace velko {
namespace {

class VersionResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring program = test::built_program(L"VelkoTarnOnlineInstaller.exe");
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource, error " << ::GetLastError();
    block_.resize(size);
    ASSERT_TRUE(::GetFileVersionInfoW(program.c_str(), 0, size, block_.data())) << ::GetLastError();
  }

  // A string of the Chinese (Simplified), Unicode table, as UTF-8; "<missing>" when absent.
  std::string text(const wchar_t* name) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    void* value = nullptr;
    UINT characters = 0;
    if (!::VerQueryValueW(block_.data(), path.c_str(), &value, &characters) || value == nullptr) return "<missing>";
    return win::narrow(static_cast<const wchar_t*>(value));
  }

  std::vector<unsigned char> block_;
};

TEST_F(VersionResourceTest, FixedInfoCarriesTheProgramVersion) {
  void* value = nullptr;
  UINT bytes = 0;
  ASSERT_TRUE(::VerQueryValueW(block_.data(), L"\\", &value, &bytes));
  ASSERT_EQ(bytes, sizeof(VS_FIXEDFILEINFO));
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(info->dwFileVersionMS, MAKELONG(0, 1));  // 1.0
  EXPECT_EQ(info->dwFileVersionLS, MAKELONG(0, 0));  // .0.0
  EXPECT_EQ(info->dwProductVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(info->dwProductVersionLS, MAKELONG(0, 0));
  EXPECT_EQ(HIWORD(info->dwFileVersionMS), VELKO_VERSION_MAJOR);
  EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(info->dwFileFlags & info->dwFileFlagsMask, 0u);
}

TEST_F(VersionResourceTest, TranslationIsChineseSimplifiedUnicode) {
  void* value = nullptr;
  UINT bytes = 0;
  ASSERT_TRUE(::VerQueryValueW(block_.data(), L"\\VarFileInfo\\Translation", &value, &bytes));
  ASSERT_EQ(bytes, 4u);
  const auto* pair = static_cast<const WORD*>(value);
  EXPECT_EQ(pair[0], 0x0804);
  EXPECT_EQ(pair[1], 1200);
}

TEST_F(VersionResourceTest, StringsInChineseSurviveAsUnicode) {
  EXPECT_EQ(text(L"FileDescription"), "VelkoTarn工作台 在线安装程序");
  EXPECT_EQ(text(L"ProductName"), "VelkoTarn工作台");
  EXPECT_EQ(text(L"CompanyName"), "Velko Tarn");
  EXPECT_EQ(text(L"LegalCopyright"), "Copyright © 2026 Velko Tarn");
  EXPECT_EQ(text(L"OriginalFilename"), "VelkoTarnOnlineInstaller.exe");
  EXPECT_EQ(text(L"InternalName"), "VelkoTarnOnlineInstaller");
  EXPECT_EQ(text(L"FileVersion"), "1.0.0.0");
  EXPECT_EQ(text(L"ProductVersion"), "1.0.0.0");
}

}  // namespace
}  // namespace velko
