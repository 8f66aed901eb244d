#include "streams/jbig2/Jbig2Symbols.h"

#include "streams/jbig2/Jbig2Segment.h"

namespace streams {

int Jbig2SymbolDictionarySegment(Jbig2Segment*) { return kJbig2BadStructure; }
int Jbig2TextRegionSegment(Jbig2Segment*) { return kJbig2BadStructure; }
int Jbig2PatternDictionarySegment(Jbig2Segment*) { return kJbig2BadStructure; }
int Jbig2HalftoneRegionSegment(Jbig2Segment*) { return kJbig2BadStructure; }
void Jbig2FreeSymbolResults(Jbig2Segment*) {}

}  // namespace streams
