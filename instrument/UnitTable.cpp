#include "instrument/UnitTable.h"

namespace vexlo {
namespace {

constexpr const char* kUnitTexts[57] = {
    "cm3/s",    "cm3/mn", "cm3/h",  "mm3/s", "Pa cal",    "Pa/s cal", "Pa",        "Pa HR",     "Pa/s",    "Pa/s HR",
    "s",        "bar",    "kPa",    "PSI",   "mbar",      "MPa",      "l",         "Unit. Cal", "kPa/s",   "mm",
    "MOhm",     "Ohm",    "kV",     "A",     "mA",        "mOhm",     "%",         "kW",        "V",       "dB",
    "l/h",      "mH",     "uF",     "Cal",   "Cal Usine", "kPa Cal",  "kPa/s Cal", "t/mn",      "GOhm",    "W",
    "\xC2\xB0", "",       "mbar/s", "Pa",    "Pa",        "Pa/s",     "inch3/s",   "inch3/mn",  "inch3/h", "feet3/h",
    "ml/s",     "ml/mn",  "ml/h",   "l/mn",  "m3/h",      "mm3",      "cm3"};

}  // namespace

std::string UnitText(int code) {
    if (code < 0 || code > 56) return "***";
    return kUnitTexts[code];
}

}  // namespace vexlo
