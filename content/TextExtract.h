#pragma once
// The layout pass of the page model: every finished line of text is
// offered to the block being gathered, and either joins it (the next line
// of the same paragraph or column) or ends it, the line starting a new
// block. The decision weighs running statistics of the block's lines
// (heights, lengths, gaps, edges) and the punctuation and spacing scores.
#include <cstdint>

#include "content/RunningStats.h"
#include "content/TextExtractState.h"

namespace content {

class PageModel;

class TextExtract {
 public:
  // Outcomes of JoinLine.
  static constexpr uint32_t kTaken = 1;
  static constexpr uint32_t kRefused = 2;
  static constexpr uint32_t kIncomparable = 4;

  explicit TextExtract(PageModel& model) : model_(model) {}

  // Offers the finished line (its state, and its characters from
  // `firstChar` to the end of the model's characters) to the block.
  uint32_t JoinLine(const TextExtractState& line, uint32_t firstChar);
  // Ends the block being gathered; the next line starts a new one.
  void FlushBlocks() { pending_ = true; }
  uint32_t BlocksStarted() const { return blocksStarted_; }

 private:
  void StartBlock(const TextExtractState& line, uint32_t firstChar);
  void AppendLine(const TextExtractState& line, uint32_t firstChar);

  PageModel& model_;
  bool pending_ = true;
  uint32_t blocksStarted_ = 0;
  // The block being gathered.
  Fixed key_[4] = {runtime::kFixedOne, 0, 0, runtime::kFixedOne};
  OrientedBox lastLine_;
  uint32_t lastChar_ = 0;
  Fixed previousScore_ = 0;
  RunningStats heights_;
  RunningStats lengths_;
  RunningStats gaps_;
  RunningStats lefts_;
  RunningStats rights_;
};

}  // namespace content
