#include "streams/FilterFactories.h"

#include "runtime/ErrorTrap.h"
#include "streams/Ascii85Filter.h"
#include "streams/AsciiHexFilter.h"
#include "streams/CcittFaxFilter.h"
#include "streams/DctFilter.h"
#include "streams/FilterParameters.h"
#include "streams/FlateFilter.h"
#include "streams/Jbig2Filter.h"
#include "streams/LzwFilter.h"
#include "streams/PredictorFilter.h"
#include "streams/RunLengthFilter.h"

namespace streams {

void CreateAsciiHexFilter(LibraryContext* context, StreamRef& chain, const FilterParameters*,
                          bool, FilterExtras*) {
  chain = MakeRef<AsciiHexFilter>(context, std::move(chain));
}

void CreateAscii85Filter(LibraryContext* context, StreamRef& chain, const FilterParameters*, bool,
                         FilterExtras*) {
  chain = MakeRef<Ascii85Filter>(context, std::move(chain));
}

void CreateRunLengthFilter(LibraryContext* context, StreamRef& chain, const FilterParameters*,
                           bool, FilterExtras*) {
  chain = MakeRef<RunLengthFilter>(context, std::move(chain));
}

void CreateLzwFilter(LibraryContext* context, StreamRef& chain, const FilterParameters* params,
                     bool allowAbbreviations, FilterExtras*) {
  int32_t earlyChange = 1;
  if (params != nullptr) params->GetInteger("EarlyChange", &earlyChange);
  // Read before building anything, so a bad parameter leaves the chain as
  // it was.
  PredictorParams predictor = PredictorFilter::ReadParams(params, allowAbbreviations);
  chain = MakeRef<LzwFilter>(context, std::move(chain), earlyChange == 1);
  // Predicted LZW images exist as much as predicted Flate ones.
  PredictorFilter::Create(context, chain, predictor);
}

void CreateFlateFilter(LibraryContext* context, StreamRef& chain, const FilterParameters* params,
                       bool allowAbbreviations, FilterExtras*) {
  PredictorParams predictor = PredictorFilter::ReadParams(params, allowAbbreviations);
  chain = MakeRef<FlateFilter>(context, std::move(chain));
  PredictorFilter::Create(context, chain, predictor);
}

void CreateDctFilter(LibraryContext* context, StreamRef& chain, const FilterParameters*, bool,
                     FilterExtras* extras) {
  Ref<DctFilter> filter = MakeRef<DctFilter>(context, std::move(chain));
  if (extras != nullptr) extras->scaling = filter->Scaling();
  chain = std::move(filter);
}

void CreateCcittFaxFilter(LibraryContext* context, StreamRef& chain,
                          const FilterParameters* params, bool, FilterExtras*) {
  // Read (and checked) before building anything.
  const CcittParams ccitt = CcittFaxFilter::ReadParams(params);
  chain = MakeRef<CcittFaxFilter>(context, std::move(chain), ccitt);
}

void CreateJbig2Filter(LibraryContext* context, StreamRef& chain, const FilterParameters* params,
                       bool, FilterExtras*) {
  StreamRef globals = params != nullptr ? params->OpenStream("JBIG2Globals") : StreamRef();
  chain = MakeRef<Jbig2Filter>(context, std::move(chain), std::move(globals));
}

void RefuseJbig2Filter(LibraryContext*, StreamRef&, const FilterParameters*, bool, FilterExtras*) {
  runtime::ThrowRuntime(runtime::kMalformed);
}

}  // namespace streams
