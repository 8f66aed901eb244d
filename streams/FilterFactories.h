#pragma once
// The factories the registries name. Each reads its parameters and puts
// its filter (and any second stage) on the chain.
#include "streams/DecodeFilterRegistry.h"

namespace streams {

void CreateAsciiHexFilter(LibraryContext*, StreamRef&, const FilterParameters*, bool, FilterExtras*);
void CreateAscii85Filter(LibraryContext*, StreamRef&, const FilterParameters*, bool, FilterExtras*);
void CreateRunLengthFilter(LibraryContext*, StreamRef&, const FilterParameters*, bool, FilterExtras*);
void CreateLzwFilter(LibraryContext*, StreamRef&, const FilterParameters*, bool, FilterExtras*);
void CreateFlateFilter(LibraryContext*, StreamRef&, const FilterParameters*, bool, FilterExtras*);
void CreateDctFilter(LibraryContext*, StreamRef&, const FilterParameters*, bool, FilterExtras*);
void CreateCcittFaxFilter(LibraryContext*, StreamRef&, const FilterParameters*, bool, FilterExtras*);
void CreateJbig2Filter(LibraryContext*, StreamRef&, const FilterParameters*, bool, FilterExtras*);
// Inline images cannot carry JBIG2 data: throws (runtime, 2).
void RefuseJbig2Filter(LibraryContext*, StreamRef&, const FilterParameters*, bool, FilterExtras*);

}  // namespace streams
