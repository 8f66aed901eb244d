#pragma once
// GoogleTest printers for the geometry value types: failures show the words
// in hexadecimal, the way fixed-point values are read.
#include <ostream>

#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace runtime {

inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << std::hex << "{" << r.x0 << ", " << r.y0 << ", " << r.x1 << ", " << r.y1 << "}"
      << std::dec;
}

inline void PrintTo(const IntRect& r, std::ostream* os) {
  *os << "{" << r.x0 << ", " << r.y0 << ", " << r.x1 << ", " << r.y1 << "}";
}

inline void PrintTo(const Matrix& m, std::ostream* os) {
  *os << std::hex << "{" << m.a << ", " << m.b << ", " << m.c << ", " << m.d << ", " << m.e
      << ", " << m.f << "}" << std::dec;
}

}  // namespace runtime
