#pragma once
// The only road between the core's Windows-1251 texts and Qt's UTF-16.
// The GUI is built with QT_NO_CAST_FROM_ASCII, so a byte string can't slip
// into a QString as Latin-1 or UTF-8 by accident.
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"

namespace orbisk {

inline QString toQString(std::string_view ansi) { return QString::fromStdU16String(ansiToUtf16(ansi)); }
inline std::string fromQString(const QString& s) { return utf16ToAnsi(s.toStdU16String()); }
inline QStringList toQStrings(const std::vector<std::string>& ansi) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(ansi.size()));
    for (const std::string& s : ansi) out << toQString(s);
    return out;
}

}  // namespace orbisk
