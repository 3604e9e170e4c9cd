#pragma once
// The echo areas the load benchmarks read, written through each kind's own
// write side: every tenth message a listing part of about 8 KB with its
// dating line ("=?koi8-r?"), the others chat of 1-3 KB; the listings run
// over several years of weeks. The largest area a user keeps is 65,535
// messages in JAM and Squish and 32,000 in Hudson, which holds less text
// than that mix (see largeArea). bench_load_table and bench_window_load
// write the same areas from here.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/codepage.h"
#include "base/cp1251.h"
#include "base/datetime.h"
#include "benchutil.h"
#include "msgbase/messagearea.h"

namespace bench {

using orbisk::operator""_cp1251;

struct Kind {
    const char* name;
    char letter;
};

inline constexpr Kind kKinds[] = {{"msg", 'F'}, {"squish", 'S'}, {"jam", 'J'}, {"hudson", 'H'}};

inline std::string twoDigits(int v) {
    return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

// 1 = Sunday ... 7 = Saturday, as the captions write them.
inline const char* const kDayNames[8] = {"",
                                         "Воскресенье"_cp1251,
                                         "Понедельник"_cp1251,
                                         "Вторник"_cp1251,
                                         "Среда"_cp1251,
                                         "Четверг"_cp1251,
                                         "Пятница"_cp1251,
                                         "Суббота"_cp1251};

// The day of a listing part: caption blocks of ten channels with their
// programmes, about `size` bytes.
inline void writeDay(orbisk::MessageArea& area, orbisk::DateTime day, std::size_t size, unsigned& seed) {
    int y, m, d;
    orbisk::decodeDate(day, y, m, d);
    const std::string caption = std::string(kDayNames[orbisk::dayOfWeek(day)]) + ". " + std::to_string(d) + " " +
                                "декабря"_cp1251 + " ";
    const std::size_t perChannel = size / 10;
    for (int channel = 1; channel <= 10; ++channel) {
        area.writeTextLine("======");
        area.writeTextLine(caption + "Канал "_cp1251 + std::to_string(channel));
        area.writeTextLine("======");
        int minutes = 6 * 60;
        for (std::size_t written = 0; written < perChannel;) {
            const std::string l = twoDigits(minutes / 60 % 24) + "." + twoDigits(minutes % 60) + " " +
                                  bench::line(seed, 20 + seed % 40);
            area.writeTextLine(l);
            written += l.size() + 1;
            minutes += 25 + static_cast<int>(seed % 60);
        }
    }
}

// The identifier of the area a kind keeps in `dir`.
inline std::string identifier(const Kind& kind, const std::string& dir) {
    switch (kind.letter) {
        case 'F': return "F" + dir;
        case 'H': return "H001" + dir + "/";
        default: return std::string(1, kind.letter) + dir + "/tvlist";
    }
}

// Message sizes of an area: chat from `chat` to `chat` + `chatSpread`
// bytes, listings of `listing` bytes.
struct Sizes {
    std::size_t chat = 1024, chatSpread = 2048, listing = 8192;
};

struct AreaSize {
    int count;
    Sizes sizes;
};

// The area of a kind: 10,000 messages (Hudson 5,000), or with `large` the
// largest a user keeps (65,535 JAM and Squish, 32,000 Hudson; *.MSG stays
// at 10,000).
inline AreaSize areaSize(const Kind& kind, bool large) {
    AreaSize a{!large || kind.letter == 'F' ? 10000 : 65535, {}};
    if (kind.letter == 'H') {
        // Hudson numbers its 255-byte text blocks in 16 bits: 16.7 MB of
        // text in all. The mix fits 5,000 messages; 32,000 fit with
        // one-block chat and 1.5 KB listings.
        a.count = large ? 32000 : 5000;
        if (large) a.sizes = {60, 120, 1536};
    }
    return a;
}

inline void writeArea(const Kind& kind, const std::string& dir, int count, const Sizes& sizes) {
    using orbisk::MessageArea;
    std::unique_ptr<MessageArea> area;
    const std::string id = identifier(kind, dir);
    if (!orbisk::createAreaForIdentifier(area, id) || area->createArea() != 0 || area->openArea() != 0) {
        std::fprintf(stderr, "cannot create the area %s\n", id.c_str());
        std::exit(1);
    }
    const bool locked = kind.letter != 'F' && area->lockArea();
    unsigned seed = 1;
    const orbisk::DateTime first = orbisk::encodeDate(2021, 1, 4);  // a Monday
    int listings = 0;
    for (int i = 1; i <= count; ++i) {
        const bool listing = i % 10 == 0;
        area->startNewMessage();
        area->setFromName("Ivan Petrov");
        area->setToName("All");
        area->setDateTime(first + i / 10.0);
        area->setOrigAddress({2, 5020, 1, 0});
        area->setDestAddress({2, 5020, 9999, 0});
        area->setMailKind(1);
        area->writeKludgeLine("\x01MSGID: 2:5020/1 " + std::to_string(10000000 + i));
        std::size_t size = sizes.chat + (static_cast<std::size_t>(i) * 7919) % sizes.chatSpread;
        if (listing) {
            // A seven-part weekly mailing, one part a day, week after week.
            const int part = listings % 7 + 1;
            const orbisk::DateTime monday = first + 7 * (listings / 7);
            int y, m, d;
            orbisk::decodeDate(monday + part - 1, y, m, d);
            ++listings;
            area->setSubject("Телепрограмма на неделю [" + std::to_string(part) + "/7]"_cp1251);
            area->writeTextLine("From: tv@tvlist.example");
            area->writeTextLine("Subject: =?koi8-r?B?9MXMxdDSz8fSwc3NwQ==?= " + twoDigits(d) + "." + twoDigits(m) + "." +
                                std::to_string(y));
            // What the layout cuts from every part after the first.
            for (const char* l : {"", "Программа на неделю"_cp1251, "Часть"_cp1251, "", ""}) area->writeTextLine(l);
            writeDay(*area, monday + part - 1, sizes.listing, seed);
            area->writeTextLine("---");
            area->writeTextLine(" * Origin: tv (2:5020/1)");
            size = 0;
        } else {
            area->setSubject("Re: вопрос о погоде "_cp1251 + std::to_string(i));
        }
        for (std::size_t written = 0; written < size;) {  // chat
            const std::size_t len = std::min<std::size_t>(20 + seed % 50, size - written);
            const std::string l = bench::line(seed, len);
            area->writeTextLine(l);
            written += l.size() + 1;
        }
        area->writeKludgeLine("SEEN-BY: 5020/1 9999");
        if (area->saveMessage() != 0) {
            std::fprintf(stderr, "save %d failed\n", i);
            std::exit(1);
        }
    }
    if (locked) area->unlockArea();
    orbisk::closeAreaAndFree(area);
}

// Orbisk.ini in `dir` that reads the area `id` with the listings' layout
// (kludges, day and month names); its path.
inline std::string writeSettings(const std::string& id, const std::string& dir) {
    static const char* const kMonths[] = {"января", "февраля", "марта", "апреля", "мая", "июня", "июля",
                                          "августа", "сентября", "октября", "ноября", "декабря"};
    std::string ini = "[MAIN]\r\nFIDOPath=" + id + "\r\n[MSG]\r\nKludges Count=2\r\nKludge1=SEEN-BY\r\n"
                      "Kludge2=PATH:\r\n[DAYS]\r\n";
    for (int i = 1; i <= 7; ++i) ini += std::to_string(i) + "=" + kDayNames[i] + "\r\n";
    ini += "[MONTHS]\r\n";
    for (int i = 1; i <= 12; ++i) ini += std::to_string(i) + "=" + orbisk::utf8ToAnsi(kMonths[i - 1]) + "\r\n";
    const std::string iniPath = dir + "/Orbisk.ini";
    if (FILE* f = std::fopen(iniPath.c_str(), "wb")) {
        std::fwrite(ini.data(), 1, ini.size(), f);
        std::fclose(f);
    }
    return iniPath;
}

}  // namespace bench
