// The arena's common path (bump allocation), a scope opened and released
// each round as parser and pipeline loops do, and a chunked stack going up
// and down: the allocation patterns short-lived library data relies on.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ChunkedList.h"
#include "runtime/LibraryContext.h"

namespace {

void BM_ArenaScopeRound(benchmark::State& state) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  const auto allocations = static_cast<int>(state.range(0));
  for (auto _ : state) {
    runtime::ArenaScope scope(arena);
    for (int i = 0; i < allocations; ++i) benchmark::DoNotOptimize(arena.Alloc(48));
  }
  state.SetItemsProcessed(state.iterations() * allocations);
}
BENCHMARK(BM_ArenaScopeRound)->Arg(16)->Arg(256);

void BM_ChunkedStackUpDown(benchmark::State& state) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  runtime::ChunkedList<uint64_t> stack(&context, &arena, 64);
  for (auto _ : state) {
    for (uint64_t i = 0; i < 1000; ++i) stack.Push(i);
    uint64_t sum = 0;
    while (!stack.IsEmpty()) sum += stack.Pop();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ChunkedStackUpDown);

}  // namespace
