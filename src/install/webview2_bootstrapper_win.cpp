#include "install/webview2_bootstrapper.h"

#include <windows.h>

#include "common/path_extension.h"
#include "common/win_path.h"
#include "download/download_store.h"
#include "download/open_file_digest.h"
#include "download/staging_rules.h"
#include "install/installation_plan.h"
#include "webview2_pin.h"
#include "win/data_folder.h"
#include "win/os_error.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

constexpr WORD kCarriedBootstrapperResource = 301;

std::unexpected<std::string> fail(std::string text) { return std::unexpected(std::move(text)); }

}  // namespace

std::expected<std::span<const std::uint8_t>, std::string> carried_webview2_bootstrapper() {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(kCarriedBootstrapperResource), MAKEINTRESOURCEW(10));
  if (resource == nullptr) return fail(kCarriedBootstrapperCorruptText);
  const DWORD size = ::SizeofResource(module, resource);
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr || size != build::kWebView2BootstrapperBytes) return fail(kCarriedBootstrapperCorruptText);
  return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes), size);
}

std::expected<std::string, std::string> write_out_webview2_bootstrapper() {
  const auto carried = carried_webview2_bootstrapper();
  if (!carried) return fail(carried.error());
  // Hashed where it lies in the mapped image: a damaged program never writes its bootstrapper out.
  const auto carriedDigest = sha256_of_bytes(*carried);
  if (!carriedDigest || *carriedDigest != build::kWebView2BootstrapperSha256) return fail(kCarriedBootstrapperCorruptText);

  auto folder = win::downloads_folder();
  if (!folder) return fail(folder.error());
  const std::string finalPath = path_join(*folder, kStagedBootstrapperName);
  const std::string partPath = replace_extension(finalPath, kBootstrapperPartExtension);
  const std::wstring widePart = win::wide(partPath);

  // The temporary file is shared with nobody while it is cleared, written and checked: a second
  // copy of the program writing out the same bootstrapper fails at once instead of deleting or
  // truncating the first copy's file.
  {
    // An old one goes first, opened exclusively (the link itself, never its target) and removed
    // when let go.
    win::unique_file old(::CreateFileW(widePart.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!old) {
      const DWORD code = ::GetLastError();
      if (auto elsewhere = file_held_elsewhere_text(code)) return fail(std::move(*elsewhere));
      if (code != ERROR_FILE_NOT_FOUND) return fail("清理 WebView2 临时文件失败：" + win::os_error_text(code));
    }
  }
  {
    win::unique_file file(::CreateFileW(widePart.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      const DWORD code = ::GetLastError();
      if (auto elsewhere = file_held_elsewhere_text(code)) return fail(std::move(*elsewhere));
      return fail("创建 WebView2 引导器缓存失败：" + win::os_error_text(code));
    }
    DWORD written = 0;
    // One piece, straight from the image.
    const BOOL wrote = ::WriteFile(file.get(), carried->data(), static_cast<DWORD>(carried->size()), &written, nullptr);
    if (!wrote || written != carried->size()) {
      if (wrote) ::SetLastError(ERROR_WRITE_FAULT);
      return fail("写入 WebView2 引导器失败：" + win::last_error_text());
    }
    if (!::FlushFileBuffers(file.get())) return fail("保存 WebView2 引导器失败：" + win::last_error_text());
    // Read back through the same handle: what is checked is what was written.
    auto digest = sha256_of_open_file(file.get());
    if (!digest) return fail(digest.error());
    if (digest->size() != 64 || *digest != build::kWebView2BootstrapperSha256) {
      FILE_DISPOSITION_INFO disposition{TRUE};
      ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition);
      return fail(kWrittenBootstrapperMismatchText);
    }
  }
  if (auto moved = move_into_place(partPath, finalPath); !moved) return fail(moved.error());
  return finalPath;
}

}  // namespace velko
