#pragma once
// Who is told about outline items as the outline job reads them (the
// viewer's bookmark tree). Calls come on the job's thread; an error a
// listener raises ends the job with that error.
#include <cstdint>

namespace pdf {

struct OutlineItem;

class OutlineListener {
 public:
  virtual ~OutlineListener() = default;
  // The id of the view listening; 0 when nobody listens, and then no other
  // call is made.
  virtual uint32_t ActiveId() = 0;
  // A new item (possibly a placeholder whose title is not read yet).
  virtual void OnItemAdded(uint32_t id, OutlineItem* item, OutlineItem* parent,
                           OutlineItem* previous, bool open) = 0;
  // A placeholder whose title has now been read.
  virtual void OnItemChanged(uint32_t id, OutlineItem* item, OutlineItem* parent,
                             OutlineItem* previous, bool open) = 0;
};

}  // namespace pdf
