#include "win/own_image.h"

#include "common/failure.h"
#include "win/module_path.h"
#include "win/os_error.h"
#include "win/system_library.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {
namespace {

using SameMappedFiles = LONG NTAPI(PVOID image, PVOID view);

void unmap_view(void* view) { ::UnmapViewOfFile(view); }
using unique_view = unique_any<void*, unmap_view>;

// Whether the opened file is the one the loader mapped the program from. The system compares
// the files behind the program's image and a view of the opened file, not their names: a
// renamed program keeps its old module name, and under Wine its mapped-file name as well.
std::expected<void, std::string> check_is_mapped_image(HANDLE file) {
  static auto* const same_files = system_function<SameMappedFiles>(L"ntdll.dll", "NtAreMappedFilesTheSame");
  if (same_files == nullptr) return fail("校验本程序文件失败：" + os_error_text(ERROR_PROC_NOT_FOUND));
  unique_handle mapping(::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return fail("校验本程序文件失败：" + last_error_text());
  unique_view view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view) return fail("校验本程序文件失败：" + last_error_text());
  if (same_files(::GetModuleHandleW(nullptr), view.get()) != 0) return fail(kOwnImageReplacedText);
  return {};
}

std::expected<unique_file, std::string> open_own_image() {
  const auto path = own_executable_path();
  if (!path) return fail("打开本程序文件失败：" + last_error_text());
  // No write sharing: the bytes read from this handle stay the image's. A rename is let through
  // (the launcher is copied from this handle, never by path), so that a later installer can move
  // aside a launcher that a launch window still runs.
  unique_file file(::CreateFileW(wide(*path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return fail("打开本程序文件失败：" + last_error_text());
  if (auto checked = check_is_mapped_image(file.get()); !checked) return std::unexpected(std::move(checked.error()));
  return file;
}

}  // namespace

std::expected<HANDLE, std::string> own_image_file() {
  static const std::expected<unique_file, std::string> image = open_own_image();
  if (!image) return std::unexpected(image.error());
  return image->get();
}

}  // namespace velko::win
