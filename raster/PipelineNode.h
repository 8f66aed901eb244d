#pragma once
// Pipeline nodes. Every paint operation becomes a small tree of nodes that
// the pipeline driver pulls span by span, row by row, over a region: sources
// over pixel planes at the leaves, compositing nodes above them.
//
// A node may produce its output in several variants (for example with a
// constant opaque alpha plane or with a real one) and reports after each
// span which one it produced. A compositing node holds, built once, one stage
// for every combination of its inputs' variants and picks the stage for the
// variants they actually produced, so the per-pixel loops never test formats.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "raster/PixelTriple.h"

namespace raster {

class PipelineNode;

// What one paint's row positioning reaches: the nodes that keep a row of
// their own and the planes that must be moved to each row.
class RowCollector {
 public:
  explicit RowCollector(runtime::ArenaAllocator& arena) : nodes_(arena, 4), planes_(arena, 8) {}

  void AddNode(PipelineNode* node) { nodes_.PushBack(node); }
  // A plane whose row step is 0 reads the same row everywhere and is left out.
  void AddPlane(PixelPlane* plane) {
    if (plane != nullptr && plane->format.rowStep != 0) planes_.PushBack(plane);
  }
  void AddPlanes(const PixelTriple& planes) {
    AddPlane(planes.shape);
    AddPlane(planes.alpha);
    AddPlane(planes.colour);
  }
  void BeginRow(int32_t y);
  void NextRow();

 private:
  runtime::ArenaVector<PipelineNode*> nodes_;
  runtime::ArenaVector<PixelPlane*> planes_;
  int32_t y_ = 0;
};

// Modes of a node.
// Always produces its variant 0, and without work: its RunSpan only reports
// how far it reaches, so a consumer reads its planes without running it.
inline constexpr uint32_t kSingleVariant = 1;
inline constexpr uint32_t kNotRowClient = 2;   // keeps no row of its own

inline constexpr IntRect kUnboundedPixels{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};

class PipelineNode {
 public:
  virtual void BeginRow(int32_t /*y*/) {}
  virtual void NextRow() {}
  // Produces pixels of the current row from x towards xEnd; returns the x
  // reached (at most xEnd) and sets the current variant.
  virtual int32_t RunSpan(int32_t x, int32_t xEnd) = 0;
  virtual void CollectRowClients(RowCollector& collector) = 0;
  virtual void ReleaseRowClients(RowCollector& collector) = 0;

  // Fills the common header; a single variant whose shape (alpha) plane is
  // the opaque constant marks the node shape (alpha) opaque.
  void InitHeader(uint32_t count, PixelTriple* array, const IntRect& area, uint32_t modeWord);
  const PixelTriple& Current() const { return variants[currentVariant]; }

  // Registers an input with the collector once, however many consumers
  // share it.
  static void Register(PipelineNode* input, RowCollector& collector);
  static void Release(PipelineNode* input, RowCollector& collector);

  RowCollector* collector = nullptr;
  uint32_t variantCount = 0;
  PixelTriple* variants = nullptr;
  IntRect bounds = kUnboundedPixels;
  uint32_t mode = 0;
  bool shapeOpaque = false;
  bool alphaOpaque = false;
  uint32_t currentVariant = 0;

 protected:
  ~PipelineNode() = default;
};

// A growing list of the variant records a compositing node can output.
using VariantVector = runtime::ArenaVector<PixelTriple>;

// An entry of a node's stage table: a stage, a pass-through, or a list
// that switches on a further input.
class StageEntry {
 public:
  virtual int32_t RunSpan(int32_t x, int32_t xEnd) = 0;
  uint32_t outputIndex = 0;

 protected:
  ~StageEntry() = default;
};

// Returns its span unchanged: the output is one record as it stands.
class PassThroughStage final : public StageEntry {
 public:
  PassThroughStage(VariantVector& outputs, const PixelTriple& record) {
    outputIndex = outputs.Size();
    outputs.PushBack(record);
  }
  int32_t RunSpan(int32_t, int32_t xEnd) override { return xEnd; }

  // The entry that passes `input`'s output on as it is: one pass-through
  // per variant, behind a list when the input has several.
  static StageEntry* CreateForRecords(runtime::ArenaAllocator& arena, VariantVector& outputs,
                                      PipelineNode* input);
};

// Runs a further input and the entry for the variant it produced.
class StageList final : public StageEntry {
 public:
  StageList(runtime::ArenaAllocator& arena, PipelineNode* input)
      : input_(input), entries_(arena, input->variantCount) {}
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  void Add(StageEntry* entry) { entries_.PushBack(entry); }

 private:
  PipelineNode* input_;
  runtime::ArenaVector<StageEntry*> entries_;
};

// What a compositing node knows while its stage table is built: the inputs'
// variants picked so far, the destination and the output records.
struct StageContext {
  runtime::ArenaAllocator& arena;
  VariantVector& outputs;
  PixelTriple destination;
  const PixelTriple* first = nullptr;
  const PixelTriple* second = nullptr;
  const PixelTriple* third = nullptr;
};

// Builds the entry for one combination of variants (or, returning null,
// leaves it to the next level).
using StageMaker = StageEntry* (*)(StageContext& stage);

// Nodes of two or three inputs. The table has one entry per variant of the
// first input; below it, lists over the second (and third) input unless that
// input always produces one variant.
class CompositingNode final : public PipelineNode {
 public:
  // `level` may replace the whole entry of a first-input variant (masks
  // whose plane is a shared constant); `make` builds the stage of one full
  // combination.
  using LevelMaker = StageEntry* (*)(StageContext& stage, PipelineNode* const* inputs);
  CompositingNode(runtime::ArenaAllocator& arena, const PixelTriple& destination, PipelineNode* first,
                  PipelineNode* second, PipelineNode* third, StageMaker make, LevelMaker level,
                  const IntRect& area);

  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  void CollectRowClients(RowCollector& collector) override;
  void ReleaseRowClients(RowCollector& collector) override;

 private:
  StageEntry* BuildLevel(StageContext& stage, int depth, StageMaker make);

  PipelineNode* inputs_[3];
  int inputCount_;
  VariantVector outputs_;
  runtime::ArenaVector<StageEntry*> table_;
};

// Bounds of two inputs' intersection.
IntRect IntersectBounds(const IntRect& a, const IntRect& b);

}  // namespace raster
