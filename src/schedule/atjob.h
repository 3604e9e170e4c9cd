#pragma once
// One-time jobs for the system's `at` queue. Both reminder back-ends end
// here: the network one inside the program, the task library (a shared
// object of its own, so this file needs nothing but the C++ library).
//
// The job runs through /bin/sh, and the reminder texts come from echo mail
// that anyone can post: every text that reaches a job is quoted by
// shellQuote, never pasted between double quotes.
#include <string>
#include <string_view>
#include <vector>

namespace orbisk {

// One word for the POSIX shell: the text in single quotes, each ' written
// as '\''. NUL bytes are dropped (no argument can carry them).
std::string shellQuote(std::string_view text);

// The variables a job needs to reach the user's desktop, which `at` drops
// or which must be those of the submitting session.
inline constexpr const char* kDesktopVariables[] = {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR",
                                                     "DBUS_SESSION_BUS_ADDRESS"};
// "NAME='value'; export NAME" lines for those of them set now, and for the
// settings file variable (ORBISK_INI) when it is set; then, while
// ORBISK_REMINDER is set, the comment line "#ORBISK_REMINDER=<value>" that
// names the reminder (queuedreminders.h).
std::string desktopEnvironmentLines();

// The programs behind the queue (tests put stand-ins in their place).
struct AtTools {
    std::string at = "at";
    std::string atrm = "atrm";
};

struct AtAnswer {
    bool added = false;
    int jobId = 0;
    // What `at` said (UTF-8), less its routine note about /bin/sh; on a
    // refusal the reason the user sees.
    std::string text;
};

// Queues `commandUtf8` (one shell command line) for the local time
// year-month-day hour:minute, preceded by desktopEnvironmentLines. The job
// runs in the home folder. A job that `at` queued but that no atd will run
// (its warning names atd) is removed again and reported as not added.
AtAnswer submitAtJob(int year, int month, int day, int hour, int minute, const std::string& commandUtf8,
                     const AtTools& tools = {});

// Runs `program` with `args` (no shell), `input` on its stdin; its exit
// status (-1 when it could not be started) and its stdout and stderr
// together in `output`.
int runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& input,
               std::string& output);

// True when `name` is an executable file in a folder of PATH (or, holding a
// slash, names one).
bool programAvailable(const std::string& name);

}  // namespace orbisk
