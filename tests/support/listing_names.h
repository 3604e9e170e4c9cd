#pragma once
// The Russian day and month names as listing captions write them, and an
// Orbisk.ini that holds them, for tests that load real listings.
#include <string>

#include "base/cp1251.h"
#include "support/tempdir.h"

namespace orbisk::test {

// 1 = Sunday ... 7 = Saturday (Windows-1251).
inline const char* const kDayNames[8] = {
    "",
    "Воскресенье"_cp1251,
    "Понедельник"_cp1251,
    "Вторник"_cp1251,
    "Среда"_cp1251,
    "Четверг"_cp1251,
    "Пятница"_cp1251,
    "Суббота"_cp1251,
};

// 1 = January ... 12 = December, genitive (Windows-1251).
inline const char* const kMonthNames[13] = {
    "",
    "января"_cp1251,
    "февраля"_cp1251,
    "марта"_cp1251,
    "апреля"_cp1251,
    "мая"_cp1251,
    "июня"_cp1251,
    "июля"_cp1251,
    "августа"_cp1251,
    "сентября"_cp1251,
    "октября"_cp1251,
    "ноября"_cp1251,
    "декабря"_cp1251,
};

// An Orbisk.ini (CRLF) with the names, fidoPath and any further lines.
inline void writeListingIni(const std::string& path, const std::string& fidoPath, const std::string& more = "") {
    std::string ini = "[MAIN]\r\nFIDOPath=" + fidoPath + "\r\n[DAYS]\r\n";
    for (int i = 1; i <= 7; ++i) ini += std::to_string(i) + "=" + kDayNames[i] + "\r\n";
    ini += "[MONTHS]\r\n";
    for (int i = 1; i <= 12; ++i) ini += std::to_string(i) + "=" + kMonthNames[i] + "\r\n";
    writeFile(path, ini + more);
}

}  // namespace orbisk::test
