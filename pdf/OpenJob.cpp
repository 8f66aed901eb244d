#include "pdf/OpenJob.h"

#include <utility>

#include "pdf/Document.h"
#include "runtime/ErrorTrap.h"
#include "runtime/OwnedBuffer.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace pdf {
namespace {

constexpr const char* kStandardHandler = "Standard";

}  // namespace

OpenJob::OpenJob(runtime::LibraryContext* context, OpenJobViewer* viewer,
                 streams::DataStoreRef file)
    : CoThread(context, kArenaBlockBytes, kArenaThreshold, runtime::kJobStackBytes),
      viewer_(viewer),
      file_(std::move(file)) {}

OpenJob::~OpenJob() {
  // The thread unwinds first: it may still use the document.
  Release();
  DropDocument();
}

void OpenJob::DropDocument() {
  if (document_ != nullptr) runtime::DestroyAndFree(file_->Context(), std::exchange(document_, nullptr));
}

OpenJob* OpenJob::Start(runtime::LibraryContext* context, OpenJobViewer* viewer,
                        streams::DataStoreRef file) {
  auto* job = runtime::NewObject<OpenJob>(context, context, viewer, std::move(file));
  viewer->OpenJobHandle().Reset(job);
  if (context->scheduler == nullptr) runtime::ThrowRuntime(runtime::kBeyondLimit);
  context->scheduler->StartThread(job);
  return job;
}

void OpenJob::InstallInViewer(OpenJobViewer* viewer, Document** document) {
  viewer->InstallDocument(std::exchange(*document, nullptr));
}

void OpenJob::Run(runtime::LibraryContext* context) {
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] { Open(context); })) {
    trap.SetHandled();
    // A half-built document never reaches the viewer.
    DropDocument();
    if (!trap.Held().IsRuntime(runtime::kCancelled)) viewer_->GetOpenState().failed = true;
    trap.Rethrow();
  }
}

bool OpenJob::Open(runtime::LibraryContext* context) {
  document_ = Document::Open(context, file_);

  // Encryption the handler cannot take (an unsupported revision or key
  // length) counts like any other that cannot be opened.
  bool authorised = false;
  bool supported = true;
  const auto setUp = [&](const uint8_t* password, uint32_t length) {
    runtime::ErrorTrap trap(context);
    if (!trap.Run([&] {
          authorised = document_->SetupSecurity(kStandardHandler, password, length);
          supported = document_->EncryptionSupported();
        })) {
      trap.SetHandled();
      if (!trap.Held().IsRuntime(runtime::kUnsupported)) trap.Rethrow();
      trap.Close();
      authorised = false;
      supported = false;
    }
  };

  // The empty password first: most protected documents open with it, and
  // then the user is never asked.
  setUp(nullptr, 0);
  uint32_t attempts = 0;
  while (!authorised && supported) {
    runtime::OwnedBuffer password(context, context, 0);
    if (viewer_->RequestPassword(&password)) {
      viewer_->GetOpenState().notOpened = true;
      DropDocument();
      return false;
    }
    // The buffer ends with a NUL that is not part of the password.
    const uint32_t length = password.Count() != 0 ? password.Count() - 1 : 0;
    setUp(password.Data(), length);
    if (authorised || !supported) break;
    if (!viewer_->OnPasswordRejected(++attempts)) {
      viewer_->GetOpenState().failed = true;
      DropDocument();
      return false;
    }
  }
  if (!supported) {
    viewer_->ShowLocalizedMessage(kTextUnsupportedSecurity);
    viewer_->GetOpenState().failed = true;
    DropDocument();
    return false;
  }
  InstallInViewer(viewer_, &document_);
  return true;
}

}  // namespace pdf
