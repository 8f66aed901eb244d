#pragma once
// Puts a page model's blocks into reading order by recursive cuts: the set
// of blocks is split at the widest clear gap across the page (bands, top
// to bottom) or down it (columns, left to right), and each part is
// ordered the same way; a gap across of at least three tenths of a line
// goes before any gap down, so rows read as rows. Blocks that no gap
// separates keep the order the page showed them in. Up, down, left and
// right are those of the direction most of the page's text runs in, so an
// upside-down or turned page reads from its own top.
#include <cstdint>

namespace content {

class PageModel;

struct ReadingOrder {
  // Cuts nested deeper than this leave the rest in shown order.
  static constexpr uint32_t kMaxDepth = 64;

  static void Apply(PageModel& model);
};

}  // namespace content
