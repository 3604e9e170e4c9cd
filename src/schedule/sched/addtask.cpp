// The task library: AddTask queues a one-time job with `at`. Loaded by the
// program at its first reminder. The program path arrives as the file
// system names it (any bytes: a folder 1251 cannot name still runs); the
// command arrives as Windows-1251 and leaves as UTF-8, the locale's encoding
// of command lines.
#include <cstdint>
#include <string>

#include "base/codepage.h"
#include "schedule/atjob.h"

namespace {
thread_local std::string lastAnswer;
}

extern "C" {

// (1) the program the job starts, empty or null to run the command alone;
// (2) the command line, its words quoted for the shell; (3)-(7) the local
// run time. Non-zero when the job was queued.
__attribute__((visibility("default"))) std::int32_t AddTask(const char* program, const char* command,
                                                            std::int32_t year, std::int32_t month, std::int32_t day,
                                                            std::int32_t hour, std::int32_t minute) {
    std::string line;
    if (program && *program) line = orbisk::shellQuote(program);
    if (command && *command) {
        if (!line.empty()) line += ' ';
        line += orbisk::ansiToUtf8(command);
    }
    const orbisk::AtAnswer answer = orbisk::submitAtJob(year, month, day, hour, minute, line);
    lastAnswer = answer.text;
    return answer.added ? 1 : 0;
}

// What `at` answered to the last AddTask of this thread (UTF-8).
__attribute__((visibility("default"))) const char* AddTaskAnswer() { return lastAnswer.c_str(); }
}
