#pragma once

#include <windows.h>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <expected>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "win/unique_any.h"

namespace velko::win {

// Two blocks of up to 1 MiB: one is filled by the caller while a second thread hands the other
// to `consume` (hashing, writing), so neither side waits for the other's slower step. Blocks are
// consumed in the order they were filled. Should no thread be available, each full block is
// consumed in turn on the caller's thread. After the first failure the rest is dropped: whatever
// the blocks go into would otherwise have a gap.
class BlockPipeline {
 public:
  static constexpr DWORD kBlockBytes = 1'048'576;
  using Consumer = std::function<std::expected<void, std::string>(std::span<const std::uint8_t>)>;

  explicit BlockPipeline(Consumer consume);
  BlockPipeline(const BlockPipeline&) = delete;
  BlockPipeline& operator=(const BlockPipeline&) = delete;
  ~BlockPipeline();

  std::uint8_t* space() { return blocks_[filling_].bytes.data() + blocks_[filling_].size; }
  DWORD room() const { return kBlockBytes - blocks_[filling_].size; }

  // Counts `bytes` just put into space(); a full block is handed over. The first failure of
  // `consume`, once it has happened.
  std::expected<void, std::string> add(DWORD bytes);

  // Hands over what is gathered, waits until every block is consumed and ends the thread. The
  // first failure, if any. Nothing may be added after it.
  std::expected<void, std::string> finish();

 private:
  static constexpr std::size_t kBlocks = 2;
  struct Block {
    std::vector<std::uint8_t> bytes;
    DWORD size = 0;
  };

  std::expected<void, std::string> failure();
  void hand_over();
  void drain();
  void process(Block& block);

  Consumer consume_;
  std::array<Block, kBlocks> blocks_;
  std::size_t filling_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::size_t> full_;
  std::deque<std::size_t> free_;
  std::optional<std::string> error_;
  bool stopping_ = false;
  bool finished_ = false;
  unique_handle thread_;
};

}  // namespace velko::win
