#include "streams/jbig2/Jbig2Symbols.h"

#include "runtime/Jbig2Heap.h"
#include "streams/jbig2/Jbig2Huffman.h"
#include "streams/jbig2/Jbig2Segment.h"
#include "streams/jbig2/MqDecoder.h"

namespace streams {

void Jbig2FreeSymbolResults(Jbig2Segment* segment) {
  if (SymbolSet* set = segment->symbols) {
    for (uint32_t i = 0; i < set->count; ++i) Jbig2Bitmap::Free(set->symbols[i]);
    runtime::Jbig2Heap::Free(set->symbols);
    runtime::Jbig2Heap::Free(set);
    segment->symbols = nullptr;
  }
  if (PatternSet* set = segment->patterns) {
    for (uint32_t i = 0; i < set->count; ++i) Jbig2Bitmap::Free(set->patterns[i]);
    runtime::Jbig2Heap::Free(set->patterns);
    runtime::Jbig2Heap::Free(set);
    segment->patterns = nullptr;
  }
  MqContextStore::Free(segment->retainedContexts);
  MqContextStore::Free(segment->retainedRefinementContexts);
  segment->retainedContexts = nullptr;
  segment->retainedRefinementContexts = nullptr;
  HuffmanTable::Free(segment->table);
  segment->table = nullptr;
}

}  // namespace streams
