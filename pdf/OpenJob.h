#pragma once
// The document-open job: a cooperative thread that opens a PDF file, asks
// for passwords until one opens it, and hands the document to the viewer
// that started it. A failed open leaves the viewer as it was, whatever
// document it showed included; only the open state says what happened.
//
//   OpenJob::Start(context, &viewer, file);   // runs to its first turn
//   ... the viewer's work timer drives the scheduler ...
#include <cstdint>

#include "runtime/CoThread.h"
#include "runtime/DocumentPrompts.h"
#include "runtime/ThreadHandle.h"
#include "streams/DataSource.h"

namespace pdf {

class Document;

// Texts of the viewer's string table the job shows.
inline constexpr uint32_t kTextUnsupportedSecurity = 60;

// How an open ended without a document.
struct OpenState {
  // The document could not be opened (broken file, wrong passwords,
  // encryption that cannot be opened).
  bool failed = false;
  // The user cancelled the password prompt.
  bool notOpened = false;
};

// What the job asks of the viewer that started it, besides its prompts.
// The viewer implements it.
class OpenJobViewer : public runtime::DocumentPrompts {
 public:
  // The viewer's handle on its current open job.
  virtual runtime::ThreadHandle& OpenJobHandle() = 0;
  // Takes the opened and authorised document; the viewer owns it from
  // now on (release it with DestroyAndFree).
  virtual void InstallDocument(Document* document) = 0;
  virtual OpenState& GetOpenState() = 0;

 protected:
  ~OpenJobViewer() = default;
};

class OpenJob final : public runtime::CoThread {
 public:
  static constexpr uint32_t kArenaBlockBytes = 1024;
  static constexpr uint32_t kArenaThreshold = 256;

  OpenJob(runtime::LibraryContext* context, OpenJobViewer* viewer, streams::DataStoreRef file);
  ~OpenJob() override;

  // Creates the job, puts it in the viewer's open-job handle (destroying
  // the job held there before) and runs it to its first turn.
  static OpenJob* Start(runtime::LibraryContext* context, OpenJobViewer* viewer,
                        streams::DataStoreRef file);

  void Run(runtime::LibraryContext* context) override;

  // Hands `*document` to the viewer and clears the pointer.
  static void InstallInViewer(OpenJobViewer* viewer, Document** document);

  // The document while the job builds it (null once installed).
  Document* PendingDocument() const { return document_; }

 private:
  // True once the document is installed; false when the open failed (the
  // open state says how).
  bool Open(runtime::LibraryContext* context);
  void DropDocument();

  OpenJobViewer* viewer_;
  streams::DataStoreRef file_;
  Document* document_ = nullptr;
};

}  // namespace pdf
