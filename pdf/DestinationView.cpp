// The view part of explicit destinations, read for the viewer.
#include <algorithm>
#include <cstring>

#include "pdf/Destination.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {

void Destination::ReadView(const DestinationViewer& view, const runtime::ObjectHandle& array, int32_t page,
                           DestinationView& record) {
  const int32_t shown = view.IsPageInRange(page) ? page : view.CurrentPage();
  view.PageRectOnDevice(shown, record.pageRect);
  const runtime::ObjectHandle destination = array.Resolved();
  const runtime::ObjectHandle kind = runtime::Array::Get(destination, 1).AsName();
  const std::string_view name = kind->AsName().View();
  const size_t length = std::min<size_t>(name.size(), DestinationView::kMaxKind);
  std::memcpy(record.kind, name.data(), length);
  record.kind[length] = '\0';
  const uint32_t count = runtime::Array::Count(destination);
  for (uint32_t i = 0; i < 4; ++i) {
    record.present[i] = 0;
    if (i + 2 >= count) continue;
    const runtime::ObjectHandle number = runtime::Array::Get(destination, i + 2);
    if (number.IsNull()) continue;
    record.parameters[i] = number->AsNumber();
    record.present[i] = 1;
  }
}

}  // namespace pdf
