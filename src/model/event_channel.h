#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "model/worker_event.h"

namespace velko {

namespace detail {
struct ChannelCore {
  std::mutex mutex;
  std::deque<WorkerEvent> queue;
  bool receiverAlive = true;
};
}  // namespace detail

// The sending side; copies may be used from any thread.
class EventSender {
 public:
  explicit EventSender(std::shared_ptr<detail::ChannelCore> core) : core_(std::move(core)) {}
  // Queues the event; when the receiver is gone the event is dropped and nothing else happens.
  void send(WorkerEvent event) const;

 private:
  std::shared_ptr<detail::ChannelCore> core_;
};

// The receiving side; dropping it closes the channel for every sender.
class EventReceiver {
 public:
  explicit EventReceiver(std::shared_ptr<detail::ChannelCore> core) : core_(std::move(core)) {}
  EventReceiver(EventReceiver&&) noexcept = default;
  EventReceiver& operator=(EventReceiver&& other) noexcept;
  EventReceiver(const EventReceiver&) = delete;
  EventReceiver& operator=(const EventReceiver&) = delete;
  ~EventReceiver();

  // Never blocks: the oldest queued event, or nothing.
  std::optional<WorkerEvent> try_receive();

 private:
  void close();
  std::shared_ptr<detail::ChannelCore> core_;
};

std::pair<EventSender, EventReceiver> make_event_channel();

inline void publish_event(const EventSender& sender, WorkerEvent event) { sender.send(std::move(event)); }

}  // namespace velko
