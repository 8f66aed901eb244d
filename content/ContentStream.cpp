#include "content/ContentStream.h"

#include "content/ExtGState.h"
#include "content/RecordedObject.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

namespace content {

using runtime::Fixed;

namespace {
// A copy of the player's repeat cache, kept off the machine stack and freed
// however the scope ends; with `restoreTo`, copied back there first.
class CacheSnapshot {
 public:
  CacheSnapshot(runtime::LibraryContext* context, const runtime::OperatorTrace& cache,
                runtime::OperatorTrace* restoreTo = nullptr)
      : context_(context),
        copy_(runtime::NewObject<runtime::OperatorTrace>(context, cache)),
        restoreTo_(restoreTo) {
    node_.Register(context, &Cleanup);
  }
  ~CacheSnapshot() {
    Release();
    node_.Unlink();
  }
  CacheSnapshot(const CacheSnapshot&) = delete;
  CacheSnapshot& operator=(const CacheSnapshot&) = delete;

  const runtime::OperatorTrace& Get() const { return *copy_; }

 private:
  static void Cleanup(runtime::CleanupNode* node) {
    auto* self = reinterpret_cast<CacheSnapshot*>(node);
    self->Release();
    node->Unlink();
  }
  void Release() {
    if (restoreTo_ != nullptr && copy_ != nullptr) *restoreTo_ = *copy_;
    runtime::DestroyAndFree(context_, copy_);
    copy_ = nullptr;
  }

  // First: the cleanup finds the holder from it.
  runtime::CleanupNode node_;
  runtime::LibraryContext* context_;
  runtime::OperatorTrace* copy_;
  runtime::OperatorTrace* restoreTo_;
};
}  // namespace

ContentStream::ContentStream(ContentMachine& machine, ContentHandler& handler)
    : machine_(machine), handler_(handler) {}

void ContentStream::Run(ContentMachine& machine, ContentHandler& handler) {
  ContentStream player(machine, handler);
  // The handler's view of the cache is put back whichever way playback ends.
  struct CacheSwap {
    ContentHandler& handler;
    runtime::OperatorTrace* previous;
    ~CacheSwap() { handler.playerCache = previous; }
  } swap{handler, handler.playerCache};
  handler.playerCache = &player.trace_;
  // Names are looked up in the resources the program was recorded
  // against: a program run on its own (an appearance, a glyph procedure)
  // must not find them in the handler's page resources.
  struct ResourcesSwap {
    GraphicsState& state;
    const runtime::ObjectHandle* previous;
    ~ResourcesSwap() { state.resources = previous; }
  } resources{handler.State(), handler.State().resources};
  if (machine.Resources().Tag() == runtime::ObjectTag::kDictionary) {
    handler.State().resources = &machine.Resources();
  }
  const ContentHandler::RunLevel level(handler);
  Span top;
  player.Play(top, runtime::kWorkCostStep);
  if (machine.HasStoredError()) runtime::ThrowError(machine.Context(), machine.StoredError());
  // The first error of confined content (a form) is reported once, after
  // the page has played on to its end.
  if (level.Outermost()) handler.RaiseConfinedError();
}

void ContentStream::RunCatchingTextExtractStop(ContentMachine& machine, ContentHandler& handler) {
  runtime::ErrorTrap trap(handler.Owner());
  if (trap.Run([&] { Run(machine, handler); })) return;
  trap.SetHandled();
  // The domain is compared by its characters: records raised elsewhere
  // need not share the constant's address.
  if (!trap.HoldsRecord() || trap.Held().Is(runtime::kTextExtractDomain, 0)) {
    trap.Close();
    return;
  }
  trap.Rethrow();
}

void ContentStream::PlaySpan(Span& span) {
  ContentHandler::NestingLevel level(handler_);
  runtime::CheckStackSpace(machine_.Context()->scheduler);
  span.start = cursor_;
  Play(span, runtime::kWorkCostLight);
}

void ContentStream::ReplaySpan(const Span& span) {
  if (!span.text || span.cacheAtStart == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  struct Restore {
    ContentStream& player;
    ProgramCursor cursor;
    uint32_t operation;
    uint32_t segment;
    ~Restore() {
      player.cursor_ = cursor;
      player.handler_.SetPlayPosition(operation, segment);
    }
  } restore{*this, cursor_, 0, 0};
  handler_.GetPlayPosition(restore.operation, restore.segment);
  const CacheSnapshot saved(machine_.Context(), trace_, &trace_);
  cursor_ = span.start;
  trace_ = *span.cacheAtStart;
  // The replayed operations get the numbers they had the first time, so a
  // segment list selects the same ones.
  handler_.SetPlayPosition(span.operationAtStart, span.segmentAtStart);
  Span again;
  again.enclosing = span.enclosing;
  again.text = true;
  again.cacheAtStart = span.cacheAtStart;
  again.operationAtStart = span.operationAtStart;
  again.segmentAtStart = span.segmentAtStart;
  PlaySpan(again);
}

bool ContentStream::Play(Span& span, int32_t cost) {
  runtime::LibraryContext* context = machine_.Context();
  for (;;) {
    if (cursor_.op == machine_.opcodes.Size() &&
        !machine_.ParseMore(handler_.GetPathCacheSlot())) {
      return false;
    }
    const uint8_t code = machine_.opcodes[cursor_.op++];
    handler_.BeforeOperation();
    if (PlayCode(code, span)) return true;
    runtime::ChargeWork(context, cost);
  }
}

bool ContentStream::PlayCode(uint8_t code, Span& span) {
  if (code >= kFirstRepeat) {
    const uint32_t slot = code - kFirstRepeat;
    if (slot >= trace_.Count()) runtime::ThrowMalformed();
    trace_.Unlink(static_cast<uint8_t>(slot));
    const runtime::OperatorTrace::Slot& entry = trace_.At(static_cast<uint8_t>(slot));
    const ProgramCursor saved = cursor_;
    cursor_.byte = entry.range1.first;
    cursor_.word = entry.range2.first;
    PlayOperation(entry.code);
    cursor_.byte = saved.byte;
    cursor_.word = saved.word;
    return false;
  }
  switch (code) {
    case kOpSave: {
      Span nested;
      nested.enclosing = &span;
      handler_.SaveState(nested, *this);
      return false;
    }
    case kOpRestore:
      // A Q with no q open is ignored: ending the program there would lose
      // the rest of the page.
      if (span.enclosing == nullptr) return false;
      span.endedByRestore = true;
      return true;
    case kOpBeginText: {
      Span nested;
      nested.enclosing = &span;
      nested.text = true;
      const CacheSnapshot snapshot(machine_.Context(), trace_);
      nested.cacheAtStart = &snapshot.Get();
      handler_.GetPlayPosition(nested.operationAtStart, nested.segmentAtStart);
      handler_.BeginText(nested, *this);
      // A text object ended by Q ends the span around it as well, unless
      // that is the program's own (no q is open).
      if (nested.endedByRestore && span.enclosing != nullptr) {
        span.endedByRestore = true;
        return true;
      }
      return false;
    }
    case kOpEndText:
      return span.text;
    case kOpObject:
      PlayObject();
      return false;
    case kOpPath:
      PlayPath();
      return false;
    default:
      break;
  }
  const ProgramCursor start = cursor_;
  PlayOperation(code);
  if (IsCacheable(code)) {
    trace_.Record(code, {start.byte, cursor_.byte - start.byte},
                  {start.word, cursor_.word - start.word});
  }
  return false;
}

uint8_t ContentStream::ReadByte() {
  if (cursor_.byte >= machine_.bytes.Size()) runtime::ThrowMalformed();
  return machine_.bytes[cursor_.byte++];
}

uint32_t ContentStream::ReadWord() {
  if (cursor_.word >= machine_.words.Size()) runtime::ThrowMalformed();
  return machine_.words[cursor_.word++];
}

std::string_view ContentStream::ReadName() {
  const uint32_t length = ReadByte();
  if (length > machine_.bytes.Size() - cursor_.byte) runtime::ThrowMalformed();
  const char* first = reinterpret_cast<const char*>(&machine_.bytes[0]) + cursor_.byte;
  cursor_.byte += length;
  return {first, length};
}

runtime::Matrix ContentStream::ReadMatrix() {
  runtime::Matrix m;
  m.a = ReadFixed();
  m.b = ReadFixed();
  m.c = ReadFixed();
  m.d = ReadFixed();
  m.e = ReadFixed();
  m.f = ReadFixed();
  return m;
}

void ContentStream::PlayOperation(uint8_t code) {
  ContentHandler& h = handler_;
  switch (code) {
    case kOpEndMarked: h.EndMarkedContent(); break;
    case kOpConcat: h.ConcatMatrix(ReadMatrix()); break;
    case kOpLineWidth: h.SetLineWidth(ReadFixed()); break;
    case kOpLineCap: h.SetLineCap(ReadByte()); break;
    case kOpLineJoin: h.SetLineJoin(ReadByte()); break;
    case kOpMiterLimit: h.SetMiterLimit(ReadFixed()); break;
    case kOpDash: {
      const Fixed phase = ReadFixed();
      const uint32_t count = ReadWord();
      if (count > machine_.words.Size() - cursor_.word) runtime::ThrowMalformed();
      const Fixed* lengths =
          count != 0 ? reinterpret_cast<const Fixed*>(&machine_.words[cursor_.word]) : nullptr;
      cursor_.word += count;
      h.SetDash(lengths, count, phase);
      break;
    }
    case kOpFlatness: h.SetFlatness(ReadFixed()); break;
    case kOpExtGState: {
      const uint32_t index = ReadWord();
      if (index >= machine_.parameterSets.Size()) runtime::ThrowMalformed();
      machine_.parameterSets[index]->Apply(h);
      break;
    }
    case kOpReserved: break;
    case kOpForm: {
      const std::string_view name = ReadName();
      const runtime::Matrix matrix = ReadMatrix();
      runtime::Rect box;
      box.x0 = ReadFixed();
      box.y0 = ReadFixed();
      box.x1 = ReadFixed();
      box.y1 = ReadFixed();
      h.PaintForm(name, matrix, box);
      break;
    }
    case kOpImage: h.DoXObject(ReadName()); break;
    case kOpShading: h.DoShading(ReadName()); break;
    case kOpIntent: h.SetRenderingIntent(ReadByte()); break;
    case kOpColorSpace: {
      const bool stroke = ReadByte() != 0;
      h.SetColorSpace(ColorSpaceKind::kNamed, stroke, ReadName());
      break;
    }
    case kOpGray:
    case kOpRgb:
    case kOpCmyk: {
      const bool stroke = ReadByte() != 0;
      const uint32_t count = code == kOpGray ? 1 : (code == kOpRgb ? 3 : 4);
      Fixed components[4];
      for (uint32_t i = 0; i < count; ++i) components[i] = ReadFixed();
      h.SetColorSpace(static_cast<ColorSpaceKind>(code - kOpGray), stroke, {});
      h.SetColor(stroke, count, components, {});
      break;
    }
    case kOpColor: {
      const uint8_t flags = ReadByte();
      const std::string_view pattern = (flags & 2) != 0 ? ReadName() : std::string_view();
      const uint32_t count = ReadByte();
      if (count > ColorRecord::kMaxComponents) runtime::ThrowMalformed();
      Fixed components[ColorRecord::kMaxComponents];
      for (uint32_t i = 0; i < count; ++i) components[i] = ReadFixed();
      h.SetColor((flags & 1) != 0, count, components, pattern);
      break;
    }
    case kOpCharSpacing: h.SetCharSpacing(ReadFixed()); break;
    case kOpWordSpacing: h.SetWordSpacing(ReadFixed()); break;
    case kOpHorizontalScale: h.SetHorizontalScale(ReadFixed()); break;
    case kOpLeading: h.SetLeading(ReadFixed()); break;
    case kOpFont: {
      const std::string_view name = ReadName();
      h.SetFont(name, ReadFixed());
      break;
    }
    case kOpRenderMode: h.SetTextRenderMode(ReadByte()); break;
    case kOpRise: h.SetTextRise(ReadFixed()); break;
    case kOpMoveText:
    case kOpMoveTextLeading: {
      const Fixed tx = ReadFixed();
      const Fixed ty = ReadFixed();
      h.MoveText(tx, ty, code == kOpMoveTextLeading);
      break;
    }
    case kOpTextMatrix: h.SetTextMatrix(ReadMatrix()); break;
    case kOpNextLine: h.NextLine(); break;
    default:
      // Spans, objects and paths are played by PlayCode; a repeat of one of
      // them cannot be recorded.
      runtime::ThrowMalformed();
  }
}

void ContentStream::PlayObject() {
  const uint32_t index = ReadWord();
  if (index >= machine_.objects.Size()) runtime::ThrowMalformed();
  machine_.objects[index]->Play(handler_, machine_.Options());
}

void ContentStream::PlayPath() {
  const uint32_t header = ReadWord();
  PathPaint paint;
  paint.stroke = (header & PathHeader::kStroke) != 0;
  paint.clipRule = (header >> PathHeader::kClipShift) & 3;
  paint.fillRule = (header >> PathHeader::kFillShift) & 3;
  PathSegments segments;
  const bool byReference = (header & PathHeader::kByReference) != 0;
  uint64_t position = 0;
  if (!byReference) {
    const uint32_t count = header & PathHeader::kCountMask;
    if (count > machine_.segments.Size() - cursor_.segment) runtime::ThrowMalformed();
    segments.points = count != 0 ? &machine_.segments[cursor_.segment] : nullptr;
    segments.count = count;
    cursor_.segment += count;
    paint.bounds = {ReadFixed(), ReadFixed(), ReadFixed(), ReadFixed()};
  } else {
    position = header & PathHeader::kCountMask;
    if ((header & PathHeader::kLongPosition) != 0) {
      const uint64_t high = ReadWord();
      position = (high << 32) | ReadWord();
    }
    const uint32_t wordCount = machine_.words.Size();
    if ((header & PathHeader::kNewBox) != 0) {
      if (wordCount < 4 || cursor_.word > wordCount - 4) runtime::ThrowMalformed();
      sharedBoxWord_ = cursor_.word;
      cursor_.word += 4;
    }
    // Later paths share the box last given; one must have been given.
    if (sharedBoxWord_ == UINT32_MAX || wordCount < 4 || sharedBoxWord_ > wordCount - 4) {
      runtime::ThrowMalformed();
    }
    paint.bounds = {static_cast<Fixed>(machine_.words[sharedBoxWord_]),
                    static_cast<Fixed>(machine_.words[sharedBoxWord_ + 1]),
                    static_cast<Fixed>(machine_.words[sharedBoxWord_ + 2]),
                    static_cast<Fixed>(machine_.words[sharedBoxWord_ + 3])};
  }
  const int affects = handler_.BeginPath(paint.bounds, paint.stroke);
  bool present = affects != 0;
  // A path that clips is read even when nothing of it is painted: the clip
  // it makes holds for everything after it.
  if (byReference && (present || paint.clipRule != PathHeader::kRuleNone)) {
    // A path kept outside the program is painted from the handler's
    // path-cache record, read again from the stream when the record holds
    // another path; a handler without a record (text collection) gets it
    // as absent.
    PathCacheSlot* slot = handler_.GetPathCacheSlot();
    present = slot != nullptr;
    if (present) {
      if (!slot->Holds(machine_.Serial(), position)) machine_.RereadPath(position, *slot);
      segments.points = slot->segments.Size() != 0 ? &slot->segments[0] : nullptr;
      segments.count = slot->segments.Size();
    }
  }
  handler_.PaintPath(*this, present, paint, segments);
}

}  // namespace content
