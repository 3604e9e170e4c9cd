#pragma once
// The process's time zone for one test.
#include <cstdlib>
#include <ctime>
#include <string>

namespace orbisk::test {

// Central European rules, written out so that no zone database is needed:
// summer time from the last Sunday of March 02:00 to the last Sunday of
// October 03:00.
inline constexpr char kCet[] = "CET-1CEST,M3.5.0,M10.5.0/3";

class ZoneGuard {
public:
    explicit ZoneGuard(const char* tz) {
        had_ = std::getenv("TZ") != nullptr;
        if (had_) old_ = std::getenv("TZ");
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;

private:
    std::string old_;
    bool had_ = false;
};

}  // namespace orbisk::test
