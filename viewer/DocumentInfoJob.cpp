#include "viewer/DocumentInfoJob.h"

#include "pdf/DocInfo.h"
#include "pdf/InfoSink.h"
#include "runtime/Scheduler.h"
#include "viewer/BusyHold.h"
#include "viewer/Viewer.h"

namespace viewer {
namespace {

// Values go into the dialog's controls on the main stack.
class DialogInfoSink final : public pdf::InfoSink {
 public:
  DialogInfoSink(runtime::LibraryContext* context, runtime::PropertiesDialog* dialog)
      : context_(context), dialog_(dialog) {}
  void SetField(uint32_t id, const char16_t* text) override {
    runtime::RunOnMainStack(context_, [&] { dialog_->SetItemText(id, text); });
  }

 private:
  runtime::LibraryContext* context_;
  runtime::PropertiesDialog* dialog_;
};

}  // namespace

DocumentInfoJob::DocumentInfoJob(runtime::LibraryContext* context, Viewer* viewer,
                                 pdf::Document& document, runtime::PropertiesDialog* dialog)
    : CoThread(context, runtime::kJobArenaBlockBytes, runtime::kJobArenaThreshold,
               runtime::kJobStackBytes),
      viewer_(viewer),
      document_(document),
      dialog_(dialog) {}

void DocumentInfoJob::Run(runtime::LibraryContext* context) {
  BusyHold busy(viewer_, kBusyLongOperation);
  DialogInfoSink sink(context, dialog_);
  pdf::DocInfo::Read(document_, sink);
}

}  // namespace viewer
