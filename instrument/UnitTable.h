#pragma once

#include <string>

namespace vexlo {

// Text of a unit code (the field value divided by 1000); "***" outside the table. Texts are UTF-8:
// code 40 is the degree sign.
std::string UnitText(int code);

// The unit code of a unit field: the value divided by 1000, truncated toward zero.
inline int UnitCode(int unitField) { return unitField / 1000; }

}  // namespace vexlo
