#include "resources/UIStringTable.h"

namespace resources {

const char16_t* GetUIString(uint32_t row, uint32_t column) {
  if (row >= kUILanguageCount || column >= kUIStringCount) return u"";
  return kUIStringTable[row][column];
}

}  // namespace resources
