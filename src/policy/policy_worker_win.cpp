#include "policy/policy_worker.h"

namespace velko {

void run_policy_worker(EventSender events) {
  publish_event(events, WorkerEvent::policy_failed("连接正式更新服务失败：尚未实现。"));
}

}  // namespace velko
