// Internet text files through the loader and the viewer: the input is split
// at NUL bytes into files 1.txt ... 7.txt; every loaded day is shown and its
// grid rows and progress strip are computed at a few times.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzzfiles.h"
#include "config/config.h"
#include "viewer/viewer.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/ui.h"

namespace {

using orbisk::operator""_cp1251;

class Silent : public orbisk::Notifier {
public:
    void show(const std::string&, const std::string&, orbisk::MsgIcon) override {}
    orbisk::Answer ask(const std::string&, const std::string&, orbisk::MsgIcon, orbisk::Buttons) override {
        return orbisk::Answer::No;
    }
};

class NoPrompts : public orbisk::ConfigPrompts {
public:
    bool editMessageBase(orbisk::Config&) override { return false; }
    bool editMessageParams(orbisk::Config&) override { return false; }
};

const std::string& workFolder() {
    static const std::string& folder = *new std::string([] {
        const std::string dir = orbisk::fuzz::workFolder("textfiles");
        // Day and month names in Windows-1251, as the files' captions would write them.
        std::ofstream ini(dir + "/Orbisk.ini", std::ios::binary);
        ini << "[MAIN]\r\nFIDOPath=I" << dir << "\r\n[DAYS]\r\n"
            << "1=Воскресенье\r\n2=Понедельник\r\n3=Вторник\r\n4=Среда\r\n5=Четверг\r\n"_cp1251
            << "6=Пятница\r\n7=Суббота\r\n[MONTHS]\r\n"_cp1251
            << "1=января\r\n2=февраля\r\n3=марта\r\n4=апреля\r\n5=мая\r\n6=июня\r\n7=июля\r\n"_cp1251
            << "8=августа\r\n9=сентября\r\n10=октября\r\n11=ноября\r\n12=декабря\r\n"_cp1251;
        return dir;
    }());
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orbisk;
    const std::string& folder = workFolder();
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    for (int n = 1; n <= 7; ++n) {
        const std::string path = folder + "/" + std::to_string(n) + ".txt";
        if (start > input.size()) {
            ::unlink(path.c_str());
            continue;
        }
        std::size_t end = input.find('\0', start);
        if (end == std::string::npos) end = input.size();
        orbisk::fuzz::putFile(path, std::string_view(input).substr(start, end - start));
        start = end + 1;
    }

    Silent notifier;
    FixedClock clock(encodeDate(2026, 12, 9) + encodeTime(21, 0));
    NoPrompts prompts;
    Viewer viewer(folder + "/Orbisk.ini", notifier, clock);
    try {
        viewer.refreshListings(prompts, false);
    } catch (const Error&) {
    }
    std::vector<DateTime> days;
    for (const auto& week : viewer.weeks().items)
        for (int i = 0; i < 7; ++i) days.push_back(week->startDate + i);
    for (DateTime day : days) {
        try {
            viewer.showDay(day);
            for (double t : {0.0, 0.1, 0.1875, 0.5, 0.99}) {
                for (const auto& row : viewer.filmRows(t))
                    Viewer::filmProgress(row.time, t, viewer.channels().timeSeparator());
                clock.set(day + t);
                viewer.updateCurrentIndex();
                viewer.progress();
                viewer.markShowTime(t);
            }
            for (int i = 0; i < viewer.channels().count(); ++i) viewer.selectChannel(i);
        } catch (const Error&) {
        }
    }
    return 0;
}
