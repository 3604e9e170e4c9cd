#pragma once
// The Russian day and month names as listing captions write them, and an
// Orbisk.ini that holds them, for tests that load real listings.
#include <string>

#include "support/tempdir.h"

namespace orbisk::test {

// 1 = Sunday ... 7 = Saturday (Windows-1251).
inline const char* const kDayNames[8] = {
    "",
    "\xC2\xEE\xF1\xEA\xF0\xE5\xF1\xE5\xED\xFC\xE5",  // Воскресенье
    "\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA",  // Понедельник
    "\xC2\xF2\xEE\xF0\xED\xE8\xEA",                  // Вторник
    "\xD1\xF0\xE5\xE4\xE0",                          // Среда
    "\xD7\xE5\xF2\xE2\xE5\xF0\xE3",                  // Четверг
    "\xCF\xFF\xF2\xED\xE8\xF6\xE0",                  // Пятница
    "\xD1\xF3\xE1\xE1\xEE\xF2\xE0",                  // Суббота
};

// 1 = January ... 12 = December, genitive (Windows-1251).
inline const char* const kMonthNames[13] = {
    "",
    "\xFF\xED\xE2\xE0\xF0\xFF",          // января
    "\xF4\xE5\xE2\xF0\xE0\xEB\xFF",      // февраля
    "\xEC\xE0\xF0\xF2\xE0",              // марта
    "\xE0\xEF\xF0\xE5\xEB\xFF",          // апреля
    "\xEC\xE0\xFF",                      // мая
    "\xE8\xFE\xED\xFF",                  // июня
    "\xE8\xFE\xEB\xFF",                  // июля
    "\xE0\xE2\xE3\xF3\xF1\xF2\xE0",      // августа
    "\xF1\xE5\xED\xF2\xFF\xE1\xF0\xFF",  // сентября
    "\xEE\xEA\xF2\xFF\xE1\xF0\xFF",      // октября
    "\xED\xEE\xFF\xE1\xF0\xFF",          // ноября
    "\xE4\xE5\xEA\xE0\xE1\xF0\xFF",      // декабря
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
