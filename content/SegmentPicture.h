#pragma once
// A content segment laid out as one picture: it takes a line of its own in
// the column, scaled to fit and centred.
#include "content/FlowColumn.h"
#include "content/PictureRecord.h"

namespace content {

class SegmentPicture final : public FlowPicture {
 public:
  explicit SegmentPicture(const PictureRecord& record) : record_(record) {}

  runtime::Rect Box() const override { return record_.ViewBox(); }
  void Place(runtime::Fixed x, runtime::Fixed y, runtime::Fixed scale, bool firstInLine) override;

  const PictureRecord& Record() const { return record_; }

 private:
  PictureRecord record_;
};

}  // namespace content
