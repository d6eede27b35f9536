#include "install/webview2_bootstrapper.h"

#include <windows.h>

#include "common/failure.h"
#include "common/path_extension.h"
#include "common/win_path.h"
#include "detect/component_detection.h"
#include "download/staging_rules.h"
#include "install/installation_plan.h"
#include "webview2_pin.h"
#include "win/data_folder.h"
#include "win/file_digest.h"
#include "win/os_error.h"
#include "win/temporary_file.h"

namespace velko {
namespace {

constexpr WORD kCarriedBootstrapperResource = 301;

std::string write_out_failure_text(win::TemporaryWriteFailure failure) {
  using Step = win::TemporaryWriteFailure::Step;
  const auto coded = [&](const char* prefix) { return prefix + win::os_error_text(failure.code); };
  switch (failure.step) {
    case Step::RemoveLeftover:
      return file_held_elsewhere_text(failure.code).value_or(coded("清理 WebView2 临时文件失败："));
    case Step::Create: return file_held_elsewhere_text(failure.code).value_or(coded("创建 WebView2 引导器缓存失败："));
    case Step::Write: return coded("写入 WebView2 引导器失败：");
    case Step::Flush: return coded("保存 WebView2 引导器失败：");
    case Step::Check: return std::move(failure.text);
    case Step::Replace: return coded("替换旧下载文件失败：");
    case Step::Rename: break;
  }
  return coded("保存下载文件失败：");
}

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
  const auto carriedDigest = win::sha256_of_bytes(*carried);
  if (!carriedDigest || *carriedDigest != build::kWebView2BootstrapperSha256) return fail(kCarriedBootstrapperCorruptText);

  auto folder = win::downloads_folder();
  if (!folder) return fail(folder.error());
  const std::string finalPath = path_join(*folder, kWebView2BootstrapperName);
  const std::string partPath = replace_extension(finalPath, kBootstrapperPartExtension);

  // Read back through the handle it was written through: what is checked is what was written,
  // and nobody can change it before it has its name. A second copy of the program writing out
  // the same bootstrapper fails at once instead of deleting or truncating the first copy's file.
  const auto check = [](HANDLE file) -> std::expected<void, std::string> {
    auto digest = win::sha256_of_open_file(file);
    if (!digest) return fail(digest.error());
    if (*digest != build::kWebView2BootstrapperSha256) return fail(kWrittenBootstrapperMismatchText);
    return {};
  };
  auto written = win::write_through_temporary(partPath, finalPath, *carried, check);
  if (!written) return fail(write_out_failure_text(std::move(written.error())));
  return finalPath;
}

}  // namespace velko
