#include "detect/classify_windows.h"

#include "app/bootstrap_state.h"

namespace velko {

void classify_windows(BootstrapState& state) {
  EnvironmentReport report;
  report.systemLabel = "Windows（版本读取失败）";
  report.verdict = "等待检测";
  state.currentComponent = report.webView2Present ? ComponentKind::Workbench : ComponentKind::WebView2Runtime;
  state.environment = std::move(report);
}

}  // namespace velko
