#pragma once
// Runs the built orbisk-cli as a child process with no standard input and
// collects its exit status, stdout and stderr.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>

#include "base/datetime.h"
#include <string>
#include <vector>

#include "support/tempdir.h"

extern char** environ;

namespace orbisk::test {

inline constexpr const char* kCliProgram = ORBISK_BINARY_DIR "/orbisk-cli";

struct CliResult {
    int status = -1;
    std::string out, err;
};

inline CliResult runCli(const TempDir& dir, std::vector<std::string> args, const std::string& program = kCliProgram) {
    const std::string outPath = dir / "cli-stdout", errPath = dir / "cli-stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    CliResult r;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}

// YYYY-MM-DD, as the command line takes dates.
inline std::string isoDate(double date) {
    int y, m, d;
    decodeDate(date, y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

}  // namespace orbisk::test
