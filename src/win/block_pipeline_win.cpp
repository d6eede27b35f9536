#include "win/block_pipeline.h"

#include "win/worker_thread.h"

namespace velko::win {

namespace {
constexpr std::size_t kStackBytes = 256 * 1024;  // the thread only hands blocks on
}  // namespace

BlockPipeline::BlockPipeline(Consumer consume) : consume_(std::move(consume)) {
  for (auto& block : blocks_) block.bytes.resize(kBlockBytes);
  for (std::size_t i = 1; i < kBlocks; ++i) free_.push_back(i);
  auto thread = start_joinable_worker([this] { drain(); }, kStackBytes);
  if (thread) thread_ = std::move(*thread);
}

BlockPipeline::~BlockPipeline() { (void)finish(); }

std::expected<void, std::string> BlockPipeline::add(DWORD bytes) {
  blocks_[filling_].size += bytes;
  if (blocks_[filling_].size < kBlockBytes) return {};
  hand_over();
  return failure();
}

std::expected<void, std::string> BlockPipeline::finish() {
  if (!finished_) {
    finished_ = true;
    if (blocks_[filling_].size > 0) hand_over();
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (thread_) ::WaitForSingleObject(thread_.get(), INFINITE);
  }
  return failure();
}

std::expected<void, std::string> BlockPipeline::failure() {
  std::lock_guard lock(mutex_);
  if (error_) return std::unexpected(*error_);
  return {};
}

void BlockPipeline::hand_over() {
  if (!thread_) {
    process(blocks_[filling_]);
    blocks_[filling_].size = 0;
    return;
  }
  std::unique_lock lock(mutex_);
  full_.push_back(filling_);
  changed_.notify_all();
  changed_.wait(lock, [this] { return !free_.empty(); });
  filling_ = free_.front();
  free_.pop_front();
}

void BlockPipeline::drain() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !full_.empty() || stopping_; });
    if (full_.empty()) return;
    const std::size_t index = full_.front();
    full_.pop_front();
    lock.unlock();
    process(blocks_[index]);
    lock.lock();
    blocks_[index].size = 0;
    free_.push_back(index);
    changed_.notify_all();
  }
}

void BlockPipeline::process(Block& block) {
  {
    std::lock_guard lock(mutex_);
    if (error_) return;
  }
  auto done = consume_(std::span<const std::uint8_t>(block.bytes.data(), block.size));
  if (!done) {
    std::lock_guard lock(mutex_);
    error_ = std::move(done.error());
  }
}

}  // namespace velko::win
