#include "streams/jbig2/Jbig2Huffman.h"

#include "streams/jbig2/Jbig2Segment.h"

namespace streams {

void Jbig2StandardTables::Acquire() {}
void Jbig2StandardTables::Release() {}
const HuffmanTable* Jbig2StandardTables::Get(int) { return nullptr; }
int Jbig2TablesSegment(Jbig2Segment*) { return kJbig2BadStructure; }

}  // namespace streams
