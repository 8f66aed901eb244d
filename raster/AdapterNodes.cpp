#include "raster/AdapterNodes.h"

#include <algorithm>

namespace raster {

StageAdapterNode::StageAdapterNode(RowStage& stage) : stage_(stage) {
  InitHeader(1, &stage_.output, kUnboundedPixels, 0);
}

void StageAdapterNode::BeginRow(int32_t y) {
  stage_.row = y;
  stage_.spanX = INT32_MAX;
  stage_.spanEnd = INT32_MIN;
}

int32_t StageAdapterNode::RunSpan(int32_t x, int32_t xEnd) {
  stage_.spanX = x;
  stage_.spanEnd = xEnd;
  stage_.BeginRow();
  currentVariant = 0;
  return xEnd;
}

ShadingSourceNode::ShadingSourceNode(SampledRunSource& source) : source_(source) {
  InitHeader(source.variantCount, source.variants, source.bounds, 0);
}

void ShadingSourceNode::BeginRow(int32_t y) {
  source_.row = y;
  source_.runEnd = INT32_MIN;
}

void ShadingSourceNode::NextRow() {
  ++source_.row;
  source_.runEnd = INT32_MIN;
}

int32_t ShadingSourceNode::RunSpan(int32_t x, int32_t xEnd) {
  source_.x = x;
  source_.ProduceRun();
  currentVariant = source_.variant < variantCount ? source_.variant : 0;
  // A source that reports no progress still ends the span: the driver
  // must never stand still.
  return source_.runEnd > x ? std::min(xEnd, source_.runEnd) : xEnd;
}

}  // namespace raster
