#include "content/ContentHandler.h"

#include <algorithm>

#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/ExtGState.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/FreshThreadCall.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace content {

using runtime::Fixed;
using runtime::ObjectHandle;
using runtime::ObjectTag;

ObjectHandle FindNamedResource(const ObjectHandle* resources, std::string_view category,
                               std::string_view name) {
  if (resources == nullptr || resources->Tag() != ObjectTag::kDictionary) return ObjectHandle();
  ObjectHandle group = runtime::Dictionary::Get(*resources, category);
  if (group.Tag() != ObjectTag::kDictionary) return ObjectHandle();
  return runtime::Dictionary::Get(group, name).Resolved();
}

namespace {

// Arena blocks for the state copies: a dozen copies to a block.
constexpr uint32_t kStateArenaBlock = 16384;
constexpr uint32_t kStateArenaLarge = 4096;

}  // namespace

// ---- StateCopy ----

StateCopy::StateCopy(ContentHandler& handler)
    : handler_(&handler), saved_(handler.state_), scope_(handler.stateArena_) {
  GraphicsState* copy = runtime::NewInArena<GraphicsState>(handler.stateArena_, *saved_);
  node_.Register(handler.owner_, &Cleanup);
  handler.state_ = copy;
  installed_ = true;
}

StateCopy::~StateCopy() {
  Restore();
  node_.Unlink();
}

void StateCopy::Cleanup(runtime::CleanupNode* node) {
  auto* holder = reinterpret_cast<StateCopy*>(node);
  holder->Restore();
  node->Unlink();
}

void StateCopy::Restore() {
  // The copy itself goes with the arena scope, which was opened first and
  // so is released after this.
  if (!installed_) return;
  // The copy goes with its arena: its font count goes now.
  handler_->state_->font.Reset();
  handler_->state_ = saved_;
  installed_ = false;
}

// ---- NestingLevel ----

ContentHandler::NestingLevel::NestingLevel(ContentHandler& handler) : handler_(handler) {
  if (handler.nestingDepth_ >= kMaxNesting) runtime::ThrowRuntime(runtime::kStackExhausted);
  ++handler.nestingDepth_;
}

// ---- ContentHandler ----

ContentHandler::ContentHandler(runtime::LibraryContext* owner, const PageInfo& page,
                               uint32_t mode, const ObjectHandle* resources,
                               const ContentSegmentList* segments)
    : owner_(owner),
      page_(page),
      segments_(segments),
      stateArena_(owner, kStateArenaBlock, kStateArenaLarge) {
  key_.mode = mode;
  state_ = runtime::NewObject<GraphicsState>(owner, owner, page.matrix, page.clip);
  state_->resources = resources;
  state_->fillColor.SetSpace(ColorSpaceKind::kDeviceGray);
  state_->strokeColor.SetSpace(ColorSpaceKind::kDeviceGray);
}

ContentHandler::~ContentHandler() { runtime::DestroyAndFree(owner_, state_); }

void ContentHandler::ApplyExtGState(const ExtGState& record) {
  if (record.Has(ExtGState::kFont)) ApplyFontEntry(record);
}

void ContentHandler::ApplyFontEntry(const ExtGState& record) {
  ObjectHandle font;
  if (record.fontDocument != nullptr) {
    font = record.fontDocument->Resolve(owner_, {record.fontObject, record.fontGeneration})
               .Resolved();
  }
  // As with Tf: a reference to no usable font leaves no current font, and
  // the next text show reports it.
  runtime::CountedRef<runtime::FontBase> found;
  if (page_.fonts != nullptr && font.Tag() == ObjectTag::kDictionary) found = page_.fonts->FindFont(font);
  state_->font = runtime::FontHold(owner_, found.Get());
  state_->fontSize = record.fontSize;
}

void ContentHandler::ApplyEveryEntry(const ExtGState& record) {
  using Entry = ExtGState;
  auto clampAlpha = [](Fixed alpha) { return std::clamp<Fixed>(alpha, 0, runtime::kFixedOne); };
  if (record.Has(Entry::kLineWidth)) SetLineWidth(record.lineWidth);
  if (record.Has(Entry::kLineCap)) SetLineCap(record.lineCap);
  if (record.Has(Entry::kLineJoin)) SetLineJoin(record.lineJoin);
  if (record.Has(Entry::kMiterLimit)) SetMiterLimit(record.miterLimit);
  if (record.Has(Entry::kDash)) SetDash(record.dashLengths, record.dashCount, record.dashPhase);
  if (record.Has(Entry::kAlphaIsShape)) state_->alphaIsShape = record.alphaIsShape;
  if (record.Has(Entry::kFillAlpha)) state_->fillAlpha = clampAlpha(record.fillAlpha);
  if (record.Has(Entry::kStrokeAlpha)) state_->strokeAlpha = clampAlpha(record.strokeAlpha);
  if (record.Has(Entry::kBlendMode)) state_->blendMode = static_cast<uint8_t>(record.blendMode);
  if (record.Has(Entry::kIntent)) SetRenderingIntent(static_cast<uint8_t>(record.intent));
  if (record.Has(Entry::kSoftMask) || record.softMaskNone) OnSoftMaskRequest(record);
  if (record.Has(Entry::kFont)) ApplyFontEntry(record);
  if (record.Has(Entry::kTextKnockout)) state_->textKnockout = record.textKnockout;
  if (record.Has(Entry::kStrokeOverprint)) state_->strokeOverprint = record.strokeOverprint;
  if (record.Has(Entry::kFillOverprint)) state_->fillOverprint = record.fillOverprint;
}

void ContentHandler::OnSoftMaskRequest(const ExtGState&) {}

void ContentHandler::SaveState(Span& span, ContentStream& player) {
  // Deep nesting goes on on a fresh stack rather than fail; only when no
  // stack is left in the pool does it go on here, until the stack check
  // stops it.
  auto play = [&] { PlaySavedSpan(span, player); };
  runtime::RunWithStack(owner_, play);
}

void ContentHandler::PlaySavedSpan(Span& span, ContentStream& player) {
  StateCopy copy(*this);
  player.PlaySpan(span);
}

void ContentHandler::BeginMarkedContent(bool, int32_t, int32_t, const ObjectHandle*) {}
void ContentHandler::EndMarkedContent() {}
void ContentHandler::SetRenderingIntent(uint8_t intent) { state_->renderingIntent = intent; }

void ContentHandler::SetColorSpace(ColorSpaceKind kind, bool stroke, std::string_view) {
  state_->Color(stroke).SetSpace(kind);
}

void ContentHandler::SetColor(bool stroke, uint32_t count, const Fixed* components,
                              std::string_view pattern) {
  state_->Color(stroke).SetColor(count, components, !pattern.empty());
}

void ContentHandler::ConcatMatrix(const runtime::Matrix& m) { state_->ConcatMatrix(m); }

void ContentHandler::Translate(Fixed tx, Fixed ty) {
  ConcatMatrix(runtime::Matrix{runtime::kFixedOne, 0, 0, runtime::kFixedOne, tx, ty});
}

void ContentHandler::SetLineWidth(Fixed width) { state_->stroke.width = width; }
void ContentHandler::SetLineCap(int32_t cap) { state_->stroke.lineCap = cap; }
void ContentHandler::SetLineJoin(int32_t join) { state_->stroke.lineJoin = join; }
void ContentHandler::SetMiterLimit(Fixed limit) { state_->stroke.miterLimit = limit; }

void ContentHandler::SetDash(const Fixed* lengths, uint32_t count, Fixed phase) {
  state_->stroke.SetDash(std::span<const Fixed>(lengths, count), phase);
}

void ContentHandler::SetFlatness(Fixed) {}

void ContentHandler::PaintForm(std::string_view name, const runtime::Matrix& matrix,
                               const runtime::Rect& box) {
  if (page_.document == nullptr) return;
  // An error in a form ends that form only: one bad operand in a
  // decorative form must not blank the page around it.
  PlayConfined([&] { PlayForm(name, matrix, box); });
}

void ContentHandler::PlayForm(std::string_view name, const runtime::Matrix& matrix,
                              const runtime::Rect& box) {
  ObjectHandle form = FindNamedResource(state_->resources, "XObject", name);
  if (form.Tag() != ObjectTag::kDictionary || !pdf::StreamObject::IsStream(form.Value())) return;
  CountFormPlay();
  // A form that draws itself, directly or through others, is drawn once.
  const runtime::ContainerRecord* record = form->AsDictionary().Record();
  const void* identity = record != nullptr && record->objectNumber != 0
                             ? reinterpret_cast<const void*>(uintptr_t{record->objectNumber})
                             : static_cast<const void*>(form->AsDictionary().items);
  for (uint32_t i = 0; i < formDepth_; ++i) {
    if (formChain_[i] == identity) return;
  }
  if (formDepth_ >= kMaxFormNesting) runtime::ThrowRuntime(runtime::kStackExhausted);
  NestingLevel level(*this);
  // A form without resources of its own draws with those around it. With
  // a form cache, a form drawn again plays the program parsed the first time.
  FormCache::Ref cached;
  ContentMachine* machine = nullptr;
  if (page_.forms != nullptr) {
    machine = &ContentStream::ForForm(cached, *page_.forms, *page_.document, form, state_->resources);
  } else {
    machine = ContentOwner::NewMachine(*page_.document, form, state_->resources);
    if (machine == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
  }
  MachineHolder holder(owner_, page_.forms != nullptr ? nullptr : machine);
  formChain_[formDepth_++] = identity;
  struct Leave {
    uint32_t& depth;
    ~Leave() { --depth; }
  } leave{formDepth_};
  // The painter receives the form's group and box with its program.
  FormFrame frame;
  frame.group = runtime::Dictionary::Get(form, "Group");
  frame.box = box;
  // Forms nest on a fresh stack as spans do.
  auto play = [&] { PlayNestedSaved(*machine, &machine->Resources(), &matrix, &frame); };
  runtime::RunWithStack(owner_, play);
}

void ContentHandler::CountFormPlay() {
  if (formPlays_ >= kMaxFormPlays) runtime::ThrowRuntime(runtime::kBeyondLimit);
  ++formPlays_;
}

void ContentHandler::PlayNestedSaved(ContentMachine& machine, const ObjectHandle* resources,
                                     const runtime::Matrix* matrix, const FormFrame* form) {
  runtime::CheckStackSpace(owner_->scheduler);
  StateCopy copy(*this);
  if (resources != nullptr) state_->resources = resources;
  if (matrix != nullptr) ConcatMatrix(*matrix);
  RunContent(machine, form);
}

void ContentHandler::KeepConfinedError(const runtime::ErrorRecord& record) {
  if (hasConfinedError_) return;  // reported once: the first one
  hasConfinedError_ = true;
  confinedError_ = record;
}

void ContentHandler::RaiseConfinedError() {
  if (!hasConfinedError_) return;
  hasConfinedError_ = false;
  runtime::ThrowError(owner_, confinedError_);
}

void ContentHandler::SetCharSpacing(Fixed spacing) { state_->charSpacing = spacing; }
void ContentHandler::SetWordSpacing(Fixed spacing) { state_->wordSpacing = spacing; }
void ContentHandler::SetHorizontalScale(Fixed scale) { state_->horizontalScale = scale; }
void ContentHandler::SetLeading(Fixed leading) {
  state_->negatedLeading = runtime::NegateSat(leading);
}
void ContentHandler::SetTextRenderMode(int32_t mode) {
  state_->renderMode = static_cast<uint8_t>(mode);
}
void ContentHandler::SetTextRise(Fixed rise) { state_->rise = rise; }

void ContentHandler::MoveText(Fixed tx, Fixed ty, bool setLeading) {
  // TD keeps -ty as the leading, so a following T* moves by ty again.
  if (setLeading) SetLeading(runtime::NegateSat(ty));
  const runtime::Matrix translation{runtime::kFixedOne, 0, 0, runtime::kFixedOne, tx, ty};
  lineMatrix_ = runtime::Matrix::Concat(translation, lineMatrix_);
  textMatrix_ = lineMatrix_;
}

void ContentHandler::SetTextOrigin(Fixed x, Fixed y) {
  textMatrix_.e = x;
  textMatrix_.f = y;
}

void ContentHandler::SetTextMatrix(const runtime::Matrix& m) {
  lineMatrix_ = m;
  textMatrix_ = lineMatrix_;
}

void ContentHandler::NextLine() { MoveText(0, state_->negatedLeading, false); }

void ContentHandler::SetFont(std::string_view name, Fixed size) {
  // The base raises nothing of its own: a font that cannot be read (a
  // broken object, a damaged font program) leaves no current font, and the
  // next text show reports it. Cancellation and data still on its way pass.
  runtime::CountedRef<runtime::FontBase> found;
  runtime::ErrorTrap trap(owner_);
  if (!trap.Run([&] {
        ObjectHandle font = FindNamedResource(state_->resources, "Font", name);
        if (page_.fonts != nullptr && font.Tag() == ObjectTag::kDictionary) {
          found = page_.fonts->FindFont(font);
        }
      })) {
    trap.SetHandled();
    if (!trap.HoldsRecord() || runtime::IsCancelOrNoDataError(trap.Held())) trap.Rethrow();
    trap.Close();
    found.Release();
  }
  state_->font = runtime::FontHold(owner_, found.Get());
  state_->fontSize = size;
}

void ContentHandler::BeginText(Span& span, ContentStream& player) {
  lineMatrix_ = runtime::kIdentityMatrix;
  textMatrix_ = lineMatrix_;
  OnBeginText();
  player.PlaySpan(span);
  EndText(span, player);
}

void ContentHandler::RunNestedContent(ContentMachine& machine) {
  // Nested content (an annotation's appearance) is confined as forms are.
  PlayConfined([&] { PlayNestedSaved(machine); });
}

void ContentHandler::BeforeOperation() {
  ++key_.operation;
  key_.words[0] = 0;
  key_.words[1] = 0;
  for (uint8_t& flag : flags_) flag = 0;
  AdvanceSegments();
}

void ContentHandler::SetKeyWords(uint32_t first, uint32_t second) {
  key_.words[0] = first;
  key_.words[1] = second;
  AdvanceSegments();
}

void ContentHandler::AdvanceSegments() {
  if (segments_ == nullptr) return;
  while (segmentIndex_ < segments_->count && segments_->items[segmentIndex_].last < key_) {
    ++segmentIndex_;
  }
}

bool ContentHandler::InCurrentSegment() const {
  return segments_ == nullptr || SegmentMatrix() != nullptr;
}

const runtime::Matrix* ContentHandler::SegmentMatrix() const {
  if (segments_ == nullptr || segmentIndex_ >= segments_->count) return nullptr;
  const ContentSegment& segment = segments_->items[segmentIndex_];
  return segment.first <= key_ && key_ <= segment.last ? &segment.matrix : nullptr;
}

runtime::Matrix ContentHandler::SegmentCtm() const {
  const runtime::Matrix* matrix = SegmentMatrix();
  return matrix != nullptr ? runtime::Matrix::Concat(state_->ctm, *matrix) : state_->ctm;
}

const runtime::Matrix* ContentHandler::OptionalStateMatrix() const {
  if (segments_ != nullptr || !state_->hasExtraMatrix) return nullptr;
  return &state_->extraMatrix;
}

PathCacheSlot* ContentHandler::GetPathCacheSlot() { return nullptr; }
void ContentHandler::OnBeginText() {}
void ContentHandler::RunContent(ContentMachine& machine, const FormFrame*) {
  ContentStream::Run(machine, *this);
}

}  // namespace content
