#include "raster/PipelineNode.h"

#include <algorithm>

namespace raster {

void RowCollector::BeginRow(int32_t y) {
  y_ = y;
  for (uint32_t i = 0; i < planes_.Size(); ++i) planes_[i]->SetRow(y);
  for (uint32_t i = 0; i < nodes_.Size(); ++i) nodes_[i]->BeginRow(y);
}

void RowCollector::NextRow() {
  ++y_;
  for (uint32_t i = 0; i < planes_.Size(); ++i) planes_[i]->SetRow(y_);
  for (uint32_t i = 0; i < nodes_.Size(); ++i) nodes_[i]->NextRow();
}

void PipelineNode::InitHeader(uint32_t count, PixelTriple* array, const IntRect& area, uint32_t modeWord) {
  variantCount = count;
  variants = array;
  bounds = area;
  mode = modeWord;
  shapeOpaque = count == 1 && array[0].shape != nullptr && array[0].shape->IsOpaqueConstant();
  alphaOpaque = count == 1 && array[0].alpha != nullptr && array[0].alpha->IsOpaqueConstant();
  currentVariant = 0;
}

void PipelineNode::Register(PipelineNode* input, RowCollector& collector) {
  if (input->collector != nullptr) return;
  input->collector = &collector;
  input->CollectRowClients(collector);
}

void PipelineNode::Release(PipelineNode* input, RowCollector& collector) {
  if (input->collector == nullptr) return;
  input->ReleaseRowClients(collector);
  input->collector = nullptr;
}

StageEntry* PassThroughStage::CreateForRecords(runtime::ArenaAllocator& arena, VariantVector& outputs,
                                               PipelineNode* input) {
  if ((input->mode & kSingleVariant) != 0)
    return runtime::NewInArena<PassThroughStage>(arena, outputs, input->variants[0]);
  auto* list = runtime::NewInArena<StageList>(arena, arena, input);
  for (uint32_t v = 0; v < input->variantCount; ++v)
    list->Add(runtime::NewInArena<PassThroughStage>(arena, outputs, input->variants[v]));
  return list;
}

int32_t StageList::RunSpan(int32_t x, int32_t xEnd) {
  const int32_t reached = input_->RunSpan(x, xEnd);
  StageEntry* entry = entries_[input_->currentVariant];
  const int32_t result = entry->RunSpan(x, reached);
  outputIndex = entry->outputIndex;
  return result;
}

CompositingNode::CompositingNode(runtime::ArenaAllocator& arena, const PixelTriple& destination,
                                 PipelineNode* first, PipelineNode* second, PipelineNode* third,
                                 StageMaker make, LevelMaker level, const IntRect& area)
    : inputs_{first, second, third},
      inputCount_(third != nullptr ? 3 : 2),
      outputs_(arena, first->variantCount * second->variantCount * (third != nullptr ? third->variantCount : 1)),
      table_(arena, first->variantCount) {
  StageContext stage{arena, outputs_, destination};
  for (uint32_t v = 0; v < first->variantCount; ++v) {
    stage.first = &first->variants[v];
    StageEntry* entry = level != nullptr ? level(stage, inputs_) : nullptr;
    table_.PushBack(entry != nullptr ? entry : BuildLevel(stage, 1, make));
  }
  // The stages appended their records; the vector is not grown again.
  InitHeader(outputs_.Size(), &outputs_[0], area, inputCount_ == 3 ? kNotRowClient : 0);
}

StageEntry* CompositingNode::BuildLevel(StageContext& stage, int depth, StageMaker make) {
  if (depth == inputCount_) return make(stage);
  PipelineNode* input = inputs_[depth];
  const PixelTriple*& slot = depth == 1 ? stage.second : stage.third;
  if ((input->mode & kSingleVariant) != 0) {
    slot = &input->variants[0];
    return BuildLevel(stage, depth + 1, make);
  }
  auto* list = runtime::NewInArena<StageList>(stage.arena, stage.arena, input);
  for (uint32_t v = 0; v < input->variantCount; ++v) {
    slot = &input->variants[v];
    list->Add(BuildLevel(stage, depth + 1, make));
  }
  return list;
}

int32_t CompositingNode::RunSpan(int32_t x, int32_t xEnd) {
  PipelineNode* first = inputs_[0];
  const int32_t reached = first->RunSpan(x, xEnd);
  StageEntry* entry = table_[first->currentVariant];
  const int32_t result = entry->RunSpan(x, reached);
  currentVariant = entry->outputIndex;
  return result;
}

void CompositingNode::CollectRowClients(RowCollector& collector) {
  for (int i = 0; i < inputCount_; ++i) Register(inputs_[i], collector);
}

void CompositingNode::ReleaseRowClients(RowCollector& collector) {
  for (int i = 0; i < inputCount_; ++i) Release(inputs_[i], collector);
}

IntRect IntersectBounds(const IntRect& a, const IntRect& b) {
  return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

}  // namespace raster
