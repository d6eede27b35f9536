#include "detect/windows_version.h"

namespace velko {
namespace {

// Every label that names a build says "x64": the architecture is not queried.
std::string build_label(std::string_view name, std::uint32_t build) {
  return std::string(name) + " x64 · Build " + std::to_string(build);
}

}  // namespace

SystemClassification classify_version(const std::optional<WindowsVersion>& version) {
  if (!version) return {"Windows（版本读取失败）", "等待检测", false};
  const WindowsVersion& v = *version;
  const bool workstation = v.productType == kWorkstationProductType;
  // 6.0 is shown as the server release even on a workstation (Vista).
  if (v.major == 6 && v.minor == 0) return {"Windows Server 2008（非 R2）", "不支持当前系统", false};
  if (v.major == 6 && v.minor == 1) {
    if (workstation) return {build_label("Windows 7", v.build), "仅支持 Windows 10/11 x64", false};
    return {build_label("Windows Server 2008 R2", v.build), "不支持服务器旧系统", false};
  }
  if (v.major >= 10) {
    if (!workstation) return {build_label("Windows Server", v.build), "仅支持 Windows 10/11 x64", false};
    if (v.build >= 22000) return {build_label("Windows 11", v.build), "正常版", true};
    return {build_label("Windows 10", v.build), "正常版", true};
  }
  return {build_label("Windows " + std::to_string(v.major) + "." + std::to_string(v.minor), v.build), "需要进一步确认",
          false};
}

}  // namespace velko
