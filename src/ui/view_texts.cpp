#include "ui/view_texts.h"

#include "ui/scene.h"
#include "ui/window_timing.h"

namespace velko {
namespace {

// Generic is no row: never present.
bool present(const EnvironmentReport& report, ComponentKind kind) {
  return find_component(kind) && report.components.at(kind).present;
}

bool staged(const EnvironmentReport& report, ComponentKind kind) { return report.components.at(kind).staged; }

bool carried_by_windows(ComponentKind kind) {
  const ComponentRow* row = find_component(kind);
  return row && row->detection == ComponentDetection::CarriedByWindows;
}

const char* install_verb(const BootstrapState& state) { return state.updateMode ? "更新" : "安装"; }

}  // namespace

std::string header_label(const BootstrapState& state) {
  if (is_busy(state.phase)) return state.updateMode ? "正在更新" : "正在安装";
  if (state.phase == UiPhase::WaitingForWorkbenchExit) return "等待关闭程序";
  if (state.phase == UiPhase::Failed) return "操作未完成";
  return state.workbenchState == WorkbenchInstallState::Older ? "准备更新" : "准备安装";
}

PhaseTexts phase_texts(const BootstrapState& state) {
  switch (state.phase) {
    case UiPhase::Checking: return {"正在检查运行环境", "将根据当前 Windows 版本自动选择合适的安装方案。"};
    case UiPhase::Ready:
      switch (state.workbenchState) {
        case WorkbenchInstallState::Older:
          return {"发现可更新的工作台", "更新助手会等待旧工作台正常退出，并自动完成更新。"};
        case WorkbenchInstallState::Current:
          return {"当前已经是目标版本", "所需组件均已就绪，可以直接打开VelkoTarn工作台。"};
        default: return {"环境检测完成", "当前电脑未安装工作台，将下载缺少的组件后完成安装。"};
      }
    case UiPhase::Downloading: return {"正在下载缺失组件", "下载完成后会先校验文件，再开始安装。"};
    case UiPhase::Installing: return {"正在安装当前组件", "安装期间请勿关闭程序或断开电源。"};
    case UiPhase::Completed:
      if (state.updateMode) return {"更新完成", "VelkoTarn工作台已经更新完成，可以重新打开程序。"};
      return {"安装完成", "所需组件已经安装完成，可以开始使用VelkoTarn工作台。"};
    case UiPhase::Failed: return {"操作未完成", "已停止当前流程，没有通过校验的文件不会执行。"};
    case UiPhase::WaitingForWorkbenchExit:
      return {"正在等待旧工作台退出", "请在工作台中完成保存并正常关闭；检测到退出后助手会自动继续更新。"};
  }
  return {};
}

std::string status_line(const BootstrapState& state, const SceneInputs& inputs) {
  switch (state.phase) {
    case UiPhase::Checking: return "正在检测组件 · " + std::to_string(state.progressPercent) + "%";
    case UiPhase::Ready: {
      if (!report_supported(state)) return "当前系统不在支持范围，不会下载或安装组件";
      const int missing = count_missing_components(state.environment->components);
      if (state.workbenchState == WorkbenchInstallState::Older) return "检测完成 · 已安装工作台，可以在线更新";
      if (state.workbenchState == WorkbenchInstallState::Current && missing == 0) return "检测完成 · 当前已经是目标版本";
      return "检测完成 · 发现 " + std::to_string(missing) + " 项需要安装";
    }
    case UiPhase::Downloading: return state.statusText.value_or("正在下载：" + inputs.currentLongName);
    case UiPhase::Installing:
      return std::string("正在") + install_verb(state) + " " + inputs.currentLongName + " · 已用时 " +
             inputs.elapsedText + " · 请勿关闭或断电";
    case UiPhase::Completed: return state.updateMode ? "VelkoTarn工作台已经更新完成" : "全部缺失组件已经安装完成";
    case UiPhase::Failed: return state.statusText.value_or("安装失败，请重新检测后再试。");
    case UiPhase::WaitingForWorkbenchExit:
      return state.statusText.value_or("正在等待旧工作台正常退出；退出后将自动继续更新。");
  }
  return {};
}

std::string primary_label(const BootstrapState& state) {
  switch (state.phase) {
    case UiPhase::Checking: return "正在检测";
    case UiPhase::Ready:
      if (!report_supported(state)) return "系统不支持";
      switch (state.workbenchState) {
        case WorkbenchInstallState::Older: return "立即更新";
        case WorkbenchInstallState::Current: return "打开程序";
        default: return "开始安装";
      }
    case UiPhase::Downloading: return "正在下载";
    case UiPhase::Installing: return "正在安装";
    case UiPhase::Completed: return "打开程序";
    case UiPhase::Failed: return "操作失败";
    case UiPhase::WaitingForWorkbenchExit: return "等待退出";
  }
  return {};
}

std::string footer_hint(const BootstrapState& state) {
  if (state.phase == UiPhase::Failed) return "可点击重新检测再次尝试；未通过 SHA256 校验的文件绝不会执行。";
  if (state.phase == UiPhase::WaitingForWorkbenchExit) return "工作台正在正常退出；助手确认进程结束后会自动继续更新。";
  if (state.workbenchState == WorkbenchInstallState::Older) {
    return "更新会先校验下载文件，并在替换前再次确认已安装程序没有运行。";
  }
  return "只下载当前电脑缺少的组件；下载完成后会先校验文件，再开始安装。";
}

std::string version_pill_text(const SceneInputs& inputs) { return "目标版本  v" + inputs.versionText; }

std::string install_path_text(const BootstrapState& state) { return state.installDirectory.value_or("尚未选择"); }

int system_row_status(const BootstrapState& state) {
  if (state.phase == UiPhase::Checking) return 0;
  return report_supported(state) ? 1 : -1;
}

std::string system_row_value(const BootstrapState& state) {
  if (state.phase == UiPhase::Checking) return "正在检测…";
  if (!state.environment) return {};
  // The verdict says why an unsupported system gets nothing; it stands beside the label.
  if (state.environment->verdict.empty()) return state.environment->systemLabel;
  return state.environment->systemLabel + " · " + state.environment->verdict;
}

int row_status(const BootstrapState& state, ComponentKind kind) {
  if (state.phase == UiPhase::Checking) return 0;
  if (!report_supported(state)) return -1;
  const EnvironmentReport& report = *state.environment;
  if (present(report, kind)) return 1;
  const bool active = is_busy(state.phase) || state.phase == UiPhase::WaitingForWorkbenchExit;
  if (active && kind == state.currentComponent) return 0;
  return staged(report, kind) ? 0 : -1;
}

std::string row_value_text(const BootstrapState& state, const SceneInputs& inputs, ComponentKind kind) {
  if (state.phase == UiPhase::Checking) return "正在检测…";
  if (!report_supported(state)) return "当前系统不支持";
  if (carried_by_windows(kind)) return "当前系统不需要";
  const std::string percent = std::to_string(state.progressPercent);
  const bool current = state.currentComponent == kind;
  if (kind == ComponentKind::Workbench) {
    if (state.phase == UiPhase::Downloading && current) {
      return "正在下载 · " + percent + "% · " + inputs.size_text(kind);
    }
    if (state.phase == UiPhase::Installing && current) {
      return std::string("正在") + install_verb(state) + " · 已用时 " + inputs.elapsedText;
    }
    switch (state.workbenchState) {
      case WorkbenchInstallState::None: return "未安装 · v" + inputs.versionText + " · 下载 " + inputs.size_text(kind);
      case WorkbenchInstallState::Current: return "已是当前版本";
      case WorkbenchInstallState::Older:
        if (state.phase == UiPhase::WaitingForWorkbenchExit) return "正在等待工作台正常退出";
        return "已安装 · 可更新 · 下载 " + inputs.size_text(kind);
    }
    return {};
  }
  if (row_status(state, kind) == 1) return "已安装";
  if (state.phase == UiPhase::Downloading && current) {
    return "正在下载 · " + percent + "% · " + inputs.size_text(kind);
  }
  if (state.phase == UiPhase::Installing && current) return "正在安装 · 已用时 " + inputs.elapsedText;
  if (staged(*state.environment, kind)) return "已下载 · 待安装";
  return "未安装 · 下载 " + inputs.size_text(kind);
}

std::string launch_heading(const BootstrapState& state) {
  return state.phase == UiPhase::Failed ? "Velko Tarn 工作台启动失败" : "正在启动Velko Tarn 工作台";
}

std::string launch_status_line(const BootstrapState& state, std::uint32_t launchTicks) {
  if (state.phase == UiPhase::Failed) return state.statusText.value_or("请关闭此提示后重新打开桌面快捷方式。");
  return launchTicks <= kLaunchConnectingTicks ? "正在连接Velko服务器" : "正在完成程序安全校验";
}

std::string launch_hint(const BootstrapState& state) {
  return state.phase == UiPhase::Failed ? "按 Esc 或关闭窗口后重试。" : "首次启动或程序更新后可能需要一些时间，请勿重复点击。";
}

}  // namespace velko
