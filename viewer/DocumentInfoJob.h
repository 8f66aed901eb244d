#pragma once
// The job that reads the document information into the properties dialog
// while the dialog is shown: each value replaces its "..." as it is read.
// The viewer is busy while the job runs, also when the dialog is closed
// and the job killed before it ends.
#include "pdf/Document.h"
#include "runtime/CoThread.h"
#include "runtime/HostDialogs.h"

namespace viewer {

class Viewer;

class DocumentInfoJob final : public runtime::CoThread {
 public:
  DocumentInfoJob(runtime::LibraryContext* context, Viewer* viewer, pdf::Document& document,
                  runtime::PropertiesDialog* dialog);
  ~DocumentInfoJob() override { Release(); }

  void Run(runtime::LibraryContext* context) override;

 private:
  Viewer* viewer_;
  pdf::Document& document_;
  runtime::PropertiesDialog* dialog_;
};

}  // namespace viewer
