// Requests posted to a worker: linked to it and queued in order; with no
// memory nothing is posted.
#include "pdf/WorkerRequest.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/ThreadHandle.h"
#include "runtime/TransientBlocks.h"
#include "runtime/WorkerThread.h"
#include "tests/pdf/PdfTestSupport.h"

namespace {

TEST(WorkerRequestTest, PostsLinkedRequestsAndNothingWithoutMemory) {
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog >>").ClassicTable("/Root 1 0 R");
  const std::string bytes = writer.Text();
  pdftest::OpenDocument document(&context, bytes);
  runtime::ThreadState* ring = nullptr;
  runtime::ThreadHandle worker(&context, runtime::WorkerThread::Start(&context, &ring));
  ASSERT_NE(worker.Get(), nullptr);
  auto& thread = static_cast<runtime::WorkerThread&>(*worker.Get());
  runtime::MessageQueue queue(&context);

  EXPECT_TRUE(pdf::WorkerRequest::Post(*document, thread, queue, {1, 4, nullptr}));
  const uint64_t limit = context.memory.hardLimit;
  context.memory.hardLimit = context.memory.bytesInUse;
  EXPECT_FALSE(pdf::WorkerRequest::Post(*document, thread, queue, {2, 5, nullptr}));
  context.memory.hardLimit = limit;
  EXPECT_TRUE(pdf::WorkerRequest::Post(*document, thread, queue, {3, 6, nullptr}));

  for (const uint32_t kind : {1u, 3u}) {
    auto* request = static_cast<pdf::WorkerRequest*>(queue.Take());
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->description.kind, kind);
    EXPECT_EQ(request->worker, &thread);
    runtime::DestroyAndFree(&context, request);
  }
  EXPECT_TRUE(queue.IsEmpty());
}

}  // namespace
