#include "launch/launch_handoff.h"

namespace velko {

void run_launch_handoff(std::string, EventSender events) {
  publish_event(events, WorkerEvent::launch_failed("工作台安装清单或主程序不完整，无法安全启动。"));
}

std::expected<void, std::string> relaunch_after_update(const std::expected<std::string, std::string>& installDirectory) {
  if (!installDirectory) return std::unexpected(installDirectory.error());
  return std::unexpected(std::string("工作台安装清单或主程序不完整，无法安全启动。"));
}

}  // namespace velko
