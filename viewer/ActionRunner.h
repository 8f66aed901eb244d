#pragma once
// Where a link, an outline item or the opening destination leads: named
// destinations (a name in the catalog's "Dests", a string in the "Dests"
// name tree), explicit destination arrays, and the actions "GoTo",
// "GoToR", "URI" with their "Next" chains. Explicit destinations move the
// page view; remote go-to and URI actions are checked and handed to the
// host, and the view stays.
//
// Errors are not caught here: the command that asked ends at its trap, and
// what earlier steps of a chain did stays.
#include <cstdint>

#include "runtime/LibraryContext.h"
#include "runtime/ObjectHandle.h"

namespace pdf {
class Document;
}

namespace runtime {
class HostServices;
}

namespace viewer {

class PendingDestination;
class PageView;

class ActionRunner {
 public:
  // Destinations and actions call each other; a chain deeper than this
  // (a "Next" that leads back to itself) raises (runtime, 4).
  static constexpr uint32_t kMaxDepth = 64;

  // `host` may be null.
  ActionRunner(runtime::LibraryContext* context, pdf::Document& document, PageView& view,
               runtime::HostServices* host);

  // Any destination value: a name, a string, an array or an action
  // dictionary; other values (null included) do nothing. `currentPage`
  // stands for a destination's null page.
  void LookupNamedDestination(const runtime::ObjectHandle& value, int32_t currentPage);
  // One action and its "Next" chain; the chained actions use the view's own
  // current page.
  void ExecuteAction(const runtime::ObjectHandle& action, int32_t currentPage);
  // "A" when present, else "Dest".
  void FollowOutlineItem(const runtime::ObjectHandle& item);
  // A link on page `page`: a link that is itself an action dictionary, its
  // "A", else its "Dest".
  void FollowLink(int32_t page, const runtime::ObjectHandle& link);
  // The opening destination: its initial page, then the destination, with
  // page 0 standing for a null page.
  void ApplyPendingDestination(const PendingDestination& target);

 private:
  // Counts one level of the destination/action recursion.
  class DepthScope;
  // A named destination's value: an array, or a dictionary with an array
  // "D"; anything else (null included, a name that was not found) raises
  // (runtime, 2).
  void GoToResolved(const runtime::ObjectHandle& value, int32_t currentPage);
  runtime::ObjectHandle LookUpName(std::string_view name);
  runtime::ObjectHandle LookUpString(std::string_view key);

  runtime::LibraryContext* context_;
  pdf::Document& document_;
  PageView& view_;
  runtime::HostServices* host_;
  uint32_t depth_ = 0;
};

}  // namespace viewer
