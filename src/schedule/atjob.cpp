#include "schedule/atjob.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/config.h"

extern char** environ;

namespace orbisk {

std::string shellQuote(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else if (c != '\0')
            out += c;
    }
    out += '\'';
    return out;
}

std::string desktopEnvironmentLines() {
    std::string lines;
    for (const char* name : kDesktopVariables) {
        const char* value = std::getenv(name);
        if (!value) continue;
        lines += std::string(name) + '=' + shellQuote(value) + "; export " + name + '\n';
    }
    // The settings file the reminder was set from, when it was named: the
    // job's program would otherwise look beside itself.
    if (const char* ini = std::getenv(kIniEnvironment); ini && *ini)
        lines += std::string(kIniEnvironment) + '=' + shellQuote(ini) + "; export " + kIniEnvironment + '\n';
    // What the job reminds of, for the list of queued reminders: a comment,
    // so the shell never reads it (its value holds no line break).
    if (const char* tag = std::getenv("ORBISK_REMINDER"); tag && *tag)
        lines += std::string("#ORBISK_REMINDER=") + tag + '\n';
    return lines;
}

namespace {

void closeIf(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

int runIn(const std::string& program, const std::vector<std::string>& args, const std::string& input,
          const char* workDir, std::string& output) {
    output.clear();
    // stdin is a socket so that a child that exits unread gives EPIPE, not
    // a SIGPIPE that would end the program.
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        output = std::strerror(errno);
        closeIf(in[0]), closeIf(in[1]), closeIf(out[0]), closeIf(out[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[1], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    if (workDir) posix_spawn_file_actions_addchdir_np(&actions, workDir);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int err = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    closeIf(in[1]);
    closeIf(out[1]);
    if (err != 0) {
        output = program + ": " + std::strerror(err);
        closeIf(in[0]), closeIf(out[0]);
        return -1;
    }

    for (std::size_t done = 0; done < input.size();) {
        const ssize_t n = ::send(in[0], input.data() + done, input.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the child stopped reading; its answer says why
        done += static_cast<std::size_t>(n);
    }
    closeIf(in[0]);
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        output.append(buf, static_cast<std::size_t>(n));
    }
    closeIf(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    std::size_t b = 0;
    while (b < s.size() && (s[b] == '\n' || s[b] == ' ')) ++b;
    return s.substr(b);
}

}  // namespace

int runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& input,
               std::string& output) {
    return runIn(program, args, input, nullptr, output);
}

AtAnswer submitAtJob(int year, int month, int day, int hour, int minute, const std::string& commandUtf8,
                     const AtTools& tools) {
    AtAnswer answer;
    if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59) {
        answer.text = "invalid date or time";
        return answer;
    }
    char when[32];
    std::snprintf(when, sizeof when, "%04d%02d%02d%02d%02d", year, month, day, hour, minute);
    const std::string script = desktopEnvironmentLines() + commandUtf8 + '\n';

    // `at` writes the working folder into the job, which must still exist
    // when the job runs.
    const char* home = std::getenv("HOME");
    struct stat st{};
    const char* workDir = home && *home && ::stat(home, &st) == 0 && S_ISDIR(st.st_mode) ? home : "/";
    std::string output;
    const int rc = runIn(tools.at, {"-t", when}, script, workDir, output);

    // "warning: commands will be executed using /bin/sh" is routine; "job N
    // at <date>" names the job; anything about atd means nobody runs it.
    std::string kept;
    bool atdTrouble = false;
    bool haveJob = false;
    std::size_t pos = 0;
    while (pos < output.size()) {
        std::size_t end = output.find('\n', pos);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind("warning: commands will be executed using", 0) == 0) continue;
        int id = 0;
        if (!haveJob && std::sscanf(line.c_str(), "job %d at", &id) == 1 && line.rfind("job ", 0) == 0) {
            haveJob = true;
            answer.jobId = id;
        }
        if (line.find("atd") != std::string::npos) atdTrouble = true;
        kept += line + '\n';
    }
    answer.text = trim(kept);
    if (rc != 0 || !haveJob) {
        if (answer.text.empty()) answer.text = tools.at + ": exit status " + std::to_string(rc);
        if (haveJob && rc != 0) {
            std::string ignored;
            runIn(tools.atrm, {std::to_string(answer.jobId)}, "", nullptr, ignored);
        }
        answer.jobId = 0;
        return answer;
    }
    if (atdTrouble) {
        std::string ignored;
        runIn(tools.atrm, {std::to_string(answer.jobId)}, "", nullptr, ignored);
        answer.jobId = 0;
        return answer;
    }
    answer.added = true;
    return answer;
}

bool programAvailable(const std::string& name) {
    if (name.empty()) return false;
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t pos = 0;
    while (pos <= dirs.size()) {
        std::size_t end = dirs.find(':', pos);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(pos, end - pos);
        if (dir.empty()) dir = ".";
        const std::string file = dir + '/' + name;
        struct stat st{};
        if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(file.c_str(), X_OK) == 0) return true;
        pos = end + 1;
    }
    return false;
}

}  // namespace orbisk
