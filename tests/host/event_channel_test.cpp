#include "model/event_channel.h"

#include <gtest/gtest.h>

#include <memory>

namespace velko {
namespace {

TEST(EventChannel, DeliversInOrderThenNothing) {
  auto [sender, receiver] = make_event_channel();
  sender.send(WorkerEvent::policy_ready());
  publish_event(sender, WorkerEvent::install_failed("失败"));
  EXPECT_EQ(receiver.try_receive(), WorkerEvent::policy_ready());
  EXPECT_EQ(receiver.try_receive(), WorkerEvent::install_failed("失败"));
  EXPECT_EQ(receiver.try_receive(), std::nullopt);
}

// A worker that outlives its window keeps sending; nothing may pile up behind a receiver that is gone.
TEST(EventChannel, SendsAfterTheReceiverIsDroppedAreDiscarded) {
  auto core = std::make_shared<detail::ChannelCore>();
  const EventSender sender(core);
  const EventSender copy = sender;
  {
    EventReceiver receiver(core);
    sender.send(WorkerEvent::policy_ready());
  }
  EXPECT_TRUE(core->queue.empty()) << "dropping the receiver leaves its events queued";
  for (int i = 0; i < 1000; ++i) {
    sender.send(WorkerEvent::download_progress(ComponentKind::Workbench, i % 100, "正在下载"));
    copy.send(WorkerEvent::install_completed());
  }
  EXPECT_TRUE(core->queue.empty()) << core->queue.size() << " events queued for a receiver that is gone";
}

TEST(EventChannel, AReceiverReplacedByAssignmentClosesItsOldChannel) {
  auto [oldSender, receiver] = make_event_channel();
  auto [newSender, replacement] = make_event_channel();
  oldSender.send(WorkerEvent::policy_ready());
  receiver = std::move(replacement);
  oldSender.send(WorkerEvent::install_completed());
  newSender.send(WorkerEvent::launch_succeeded());
  EXPECT_EQ(receiver.try_receive(), WorkerEvent::launch_succeeded());
  EXPECT_EQ(receiver.try_receive(), std::nullopt);
}

TEST(EventChannel, AReceiverReplacedByAssignmentDiscardsLaterSendsOfItsOldChannel) {
  auto core = std::make_shared<detail::ChannelCore>();
  const EventSender oldSender(core);
  EventReceiver receiver(core);
  auto [newSender, replacement] = make_event_channel();
  receiver = std::move(replacement);
  oldSender.send(WorkerEvent::install_completed());
  EXPECT_TRUE(core->queue.empty());
}

}  // namespace
}  // namespace velko
