#include "streams/SubRangeStream.h"

namespace streams {

SubRangeStream::SubRangeStream(LibraryContext* context, DataStoreRef source, uint64_t offset)
    : DataStream(context, offset), source_(std::move(source)) {}

BlockRef SubRangeStream::FetchBlock() { return source_->GetBlock(NextFetchPosition()); }

}  // namespace streams
