#pragma once
// Where the tests and benchmarks find the source tree, the build tree and
// the corpus. The paths are compiled into one generated file of each build
// (FolvaneTestPaths.cpp) rather than into every object, so that the objects
// of a clone in another folder are the same and the compiler cache serves
// them. Every test and benchmark source sees this header (forced include).
//
// The names stand for `const char` arrays: use them as std::string(...) or
// through a pointer, not in string-literal concatenation.
extern const char kFolvaneSourceDir[];
extern const char kFolvaneBinaryDir[];
extern const char kFolvaneCorpusDir[];

#define FOLVANE_SOURCE_DIR kFolvaneSourceDir
#define FOLVANE_BINARY_DIR kFolvaneBinaryDir
#define FOLVANE_CORPUS_DIR kFolvaneCorpusDir
