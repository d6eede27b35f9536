#include "model/event_channel.h"

namespace velko {

void EventSender::send(WorkerEvent event) const {
  std::lock_guard lock(core_->mutex);
  if (core_->receiverAlive) core_->queue.push_back(std::move(event));
}

EventReceiver& EventReceiver::operator=(EventReceiver&& other) noexcept {
  if (this != &other) {
    close();
    core_ = std::move(other.core_);
  }
  return *this;
}

EventReceiver::~EventReceiver() { close(); }

void EventReceiver::close() {
  if (!core_) return;
  std::lock_guard lock(core_->mutex);
  core_->receiverAlive = false;
  core_->queue.clear();
}

std::optional<WorkerEvent> EventReceiver::try_receive() {
  if (!core_) return std::nullopt;
  std::lock_guard lock(core_->mutex);
  if (core_->queue.empty()) return std::nullopt;
  WorkerEvent event = std::move(core_->queue.front());
  core_->queue.pop_front();
  return event;
}

std::pair<EventSender, EventReceiver> make_event_channel() {
  auto core = std::make_shared<detail::ChannelCore>();
  return {EventSender(core), EventReceiver(core)};
}

}  // namespace velko
