#pragma once

// Text between the core (UTF-8 std::string) and Qt, for the windows that include it.
#include <QString>
#include <string>

namespace vexlo {

inline QString FromText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string ToText(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace vexlo
