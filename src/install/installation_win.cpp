#include "install/installation.h"

namespace velko {

void run_installation(InstallRequest, EventSender events) {
  publish_event(events, WorkerEvent::install_failed("安装流程尚未实现。"));
}

}  // namespace velko
