#pragma once
// A destination captured for later: the document's opening destination,
// kept until the page view exists and applied once. A name or a string is
// kept as its bytes (looked up when applied); an explicit destination is
// kept as its array, parsed when applied against the laid-out pages.
#include <cstdint>
#include <string_view>

#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "runtime/ObjectHandle.h"
#include "runtime/OwnedBuffer.h"

namespace viewer {

class PendingDestination {
 public:
  enum Kind : uint32_t {
    kNothing = 0,
    // A named destination given as a name: looked up in the catalog's
    // "Dests" dictionary.
    kName = 1,
    // A named destination given as a string: looked up in the "Dests" name
    // tree.
    kString = 2,
    kExplicit = 3,
  };

  explicit PendingDestination(runtime::LibraryContext* context);

  // A name gives kName, a string kString, anything else must be an
  // explicit destination array ((runtime, 2) otherwise).
  void Fill(const runtime::ObjectHandle& value);
  // The document's opening destination: the catalog's "OpenAction" when it
  // is a destination, or the "D" of a "GoTo" action there. Other actions,
  // and a value that is no destination, leave the target empty; every
  // error but cancellation is dropped (a broken opening destination must
  // not keep the document from opening).
  void FillFromOpenAction(pdf::Document& document);
  void Clear();
  // The page shown before the destination is applied.
  void SetInitialPage(int32_t page) {
    initialPage_ = page;
    hasInitialPage_ = true;
  }

  Kind kind() const { return kind_; }
  // The name's or string's bytes (kinds 1 and 2).
  std::string_view Name() const;
  const runtime::ObjectHandle& ExplicitDestination() const { return explicit_; }
  bool HasInitialPage() const { return hasInitialPage_; }
  int32_t InitialPage() const { return initialPage_; }

 private:
  runtime::LibraryContext* context_;
  Kind kind_ = kNothing;
  // The bytes and a terminating zero.
  runtime::OwnedBuffer name_;
  runtime::ObjectHandle explicit_;
  bool hasInitialPage_ = false;
  int32_t initialPage_ = 0;
};

}  // namespace viewer
