#pragma once
// What the content layer takes from a page (or form) dictionary: its
// resources and its content as one stream.
#include "runtime/ObjectHandle.h"
#include "streams/DataStream.h"

namespace pdf {

class Document;

class Page {
 public:
  // A content owner and its "Resources" dictionary, inherited from the
  // page tree (an empty dictionary when absent).
  struct Resources {
    runtime::ObjectHandle owner;
    runtime::ObjectHandle resources;
  };
  static Resources GetResources(const runtime::ObjectHandle& owner);

  // The page's content: nothing when "Contents" is absent, the decoded
  // data of one stream, or the streams of an array read one after another
  // (each opened when the previous one is exhausted, with a space between
  // them so that tokens never run together). A null element reads as empty;
  // any other kind of "Contents" is (runtime, 2).
  static streams::DataStreamRef GetContents(Document& document,
                                            const runtime::ObjectHandle& page);
};

}  // namespace pdf
