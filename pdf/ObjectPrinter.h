#pragma once
// PDF values written back in PDF syntax (for the probe and for tests).
#include <string>

#include "runtime/ObjectValue.h"

namespace pdf {

class ObjectPrinter {
 public:
  // Appends `value` to `out`. References are written as "n g R", not
  // followed; reals with up to five decimals; strings as literal strings
  // with escapes, or in hexadecimal when most bytes are not printable.
  // Containers nested deeper than the parser allows are cut short.
  static void Print(const runtime::ObjectValue& value, std::string& out);
  static std::string ToString(const runtime::ObjectValue& value);
};

}  // namespace pdf
