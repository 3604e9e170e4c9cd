#pragma once
// Real FidoNet echo areas for tests, made by an independent tosser (the
// Debian package "crashmail"): crashwrite builds one packet per message,
// crashmail tosses it into an area, crashmaint maintains the area.
//
// Layout inside the caller's directory <dir> (nothing is written elsewhere;
// the tools get an explicit SETTINGS file, HOME=<dir>, TZ=UTC, cwd=<dir>):
//   <dir>/crashmail/crashmail.prefs   configuration (written once, reused)
//   <dir>/crashmail/{inbound,outbound,temp,pktdir,stage,bad}, crashmail.log
//   <dir>/areas/tvlist                echo "TVLIST", *.MSG directory
//   <dir>/areas/tvlist_jam            echo "TVLIST_JAM", JAM base path
// Our node is 2:5020/9999; every message comes from the linked node
// 2:5020/1 (the area's feed), so crashmail imports it instead of sending
// it to BAD. Dupe checking is off, so identical messages are all kept.
//
// What ends up in the area for one message {from, to, subject, body} (as
// observed with crashmail 1.7, Debian 12, amd64):
//
// Message text (both formats), in this order, every line ending in CR:
//   - body lines exactly as given ("\r", "\n" and "\r\n" all become CR;
//     a last line without terminator gets one; bytes are kept verbatim,
//     0x8D included);
//   - "--- CrashWrite II/Linux 1.7"               (tearline, always added)
//   - " * Origin: <origin> (2:5020/1.0)"          (origin line, always added)
//   The "AREA:TVLIST" line of the packet is stripped. No ^APID, no ^ATID.
//
// *.MSG (FTS-0001), file names lower case "2.msg", "3.msg", ...: numbering
// starts at 2 in an empty directory (1.msg is left free), each toss takes
// the highest number + 1. 190-byte header, then the text:
//   0   from[36]  NUL-terminated; the bytes AFTER the NUL are uninitialised
//                 garbage (they differ from run to run): stop at the NUL
//   36  to[36]    likewise
//   72  subj[72]  likewise
//   144 date[20]  "DD Mon YY  HH:MM:SS" + NUL, e.g. "07 Dec 26  21:52:23"
//   164 timesRead, destNode, origNode, cost, origNet, destNet: all 0
//   176 dateWritten, dateArrived (8 bytes): 0
//   184 replyTo 0 | 186 attribute 0x0008 (Sent) | 188 nextReply 0
//   190 text: ^AMSGID: 2:5020/1.0 <serial>\r, the lines above,
//       "SEEN-BY: 5020/1 9999\r" (plain line, no ^A), ^APATH: 5020/9999\r,
//       then one NUL, which is the last byte of the file (nothing after it).
//   Example (text part of 2.msg):
//   000000b0: 0000 0000 0000 0000 0000 0800 0000 014d  ...............M
//   000000c0: 5347 4944 3a20 323a 3530 3230 2f31 2e30  SGID: 2:5020/1.0
//   000000d0: 2031 3732 6139 3730 300d 4c69 6e65 206f   172a9700.Line o
//   ...       ... 0d53 4545 4e2d 4259 3a20 3530 3230  ..SEEN-BY: 5020
//   ...       2f31 2039 3939 390d 0150 4154 483a 2035  /1 9999..PATH: 5
//   ...       3032 302f 3939 3939 0d00                 020/9999..
//
// JAM, files <base>.jhr .jdt .jdx .jlr (extensions lower case, base name as
// configured): message numbers from 1, BaseMsgNum 1. Header attribute
// 0x01000010 (echo | sent), TxtOffset/TxtLen point at the text, which has
// NO kludges, NO SEEN-BY, NO trailing NUL (just the lines above, last one
// ending in CR). Subfields, in order: 2 sender, 3 addressee, 6 subject,
// 0 origin "2:5020/1", 4 MSGID "2:5020/1.0 <serial>", 2001 SEEN-BY
// "5020/1 9999", 2002 PATH "5020/9999". Faults of this crashmail that a
// reader must tolerate:
//   - .jdx UserCRC is not the CRC of the addressee (it varies from run to
//     run); only the header offset of an index record is meaningful;
//   - every rewrite of a header through its JAM library sign-extends bytes
//     >= 0x80 of 32-bit fields: each toss run turns the base header's
//     PasswordCRC 0xFFFFFFFF into 0xFEFEFEFF, 0xFDFDFDFF, ... and may lower
//     DateCreated by 256, so PasswordCRC != 0xFFFFFFFF does not mean a
//     password here.
//
// crashmaint (exit status is 0 even when it reports a failure: use
// crashmaintSucceeded):
//   - *.MSG: "PACK" renumbers the files to 2, 3, ... keeping their order
//     ("Renaming message 4 to 3", "Area renumbered").
//   - JAM: "MAINT" (with KEEPNUM, not configured here) only sets the
//     Deleted bit 0x80000000 in the message header, decrements ActiveMsgs
//     and bumps ModCounter; .jdx and .jdt stay as they are. It is broken:
//     from the second deletion on it flags the wrong header and corrupts
//     32-bit fields (see above). "PACK" fails on any base with two or more
//     messages ("Failed to read message 2, cannot pack messagebase") and
//     leaves the base untouched; with one message it works. So crashmaint
//     cannot vouch for a JAM base; toss further messages into it instead.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/tempdir.h"

extern char** environ;

namespace orbisk::test {

enum class AreaFormat { Msg, Jam };

struct FidoTestMessage {
    std::string from;     // at most 35 bytes
    std::string to;       // at most 35 bytes
    std::string subject;  // at most 71 bytes
    std::string body;     // OEM (CP866) bytes, lines separated by "\r", "\n" or "\r\n"
    std::string origin = "Orbisk test";
};

struct ToolRun {
    int status = -1;  // exit status; -1 when the program could not run or was killed
    std::string output;  // stdout and stderr together
};

inline constexpr const char* kCrashwrite = "/usr/bin/crashwrite";
inline constexpr const char* kCrashmail = "/usr/bin/crashmail";
inline constexpr const char* kCrashmaint = "/usr/bin/crashmaint";
inline constexpr const char* kCrashmailOwnNode = "2:5020/9999";
inline constexpr const char* kCrashmailFeedNode = "2:5020/1";

inline bool crashmailAvailable() {
    return access(kCrashwrite, X_OK) == 0 && access(kCrashmail, X_OK) == 0 &&
           access(kCrashmaint, X_OK) == 0;
}

inline std::string crashmailAreaTag(AreaFormat format) {
    return format == AreaFormat::Msg ? "TVLIST" : "TVLIST_JAM";
}

// MSG: the area directory; JAM: the base path without extension.
inline std::string crashmailAreaPath(const std::string& dir, AreaFormat format) {
    return dir + (format == AreaFormat::Msg ? "/areas/tvlist" : "/areas/tvlist_jam");
}

inline std::string crashmailConfigPath(const std::string& dir) {
    return dir + "/crashmail/crashmail.prefs";
}

inline std::string crashmailLog(const std::string& dir) {
    return readFile(dir + "/crashmail/crashmail.log");
}

namespace crashmail_detail {

inline void fail(const std::string& what) { throw std::runtime_error("crashmail fixture: " + what); }

// Runs a tool with no terminal and no standard input, in <dir>, with an
// environment that cannot point it at any other configuration.
inline ToolRun run(const std::string& dir, const std::vector<std::string>& argv) {
    const std::string outPath = dir + "/crashmail/tool-output.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::string home = "HOME=" + dir;
    char path[] = "PATH=/usr/bin:/bin";
    char tz[] = "TZ=UTC";
    char lang[] = "LC_ALL=C";
    char* env[] = {path, home.data(), tz, lang, nullptr};

    ToolRun run;
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        run.output = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return run;
    }
    int ws = 0;
    while (waitpid(pid, &ws, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(ws)) run.status = WEXITSTATUS(ws);
    run.output = readFile(outPath);
    return run;
}

inline std::string describe(const std::string& dir, const std::string& step, const ToolRun& run) {
    return step + " (exit " + std::to_string(run.status) + ")\n--- output:\n" + run.output +
           "\n--- log:\n" + crashmailLog(dir);
}

// crashwrite reads the text line by line and ends each line with CR
// itself; giving it LF-terminated lines keeps a lone CR from being taken
// as part of a line.
inline std::string textFileBytes(const std::string& body) {
    std::string out;
    out.reserve(body.size() + 1);
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (c == '\r') {
            if (i + 1 < body.size() && body[i + 1] == '\n') ++i;
            out += '\n';
        } else {
            out += c;
        }
    }
    if (!out.empty() && out.back() != '\n') out += '\n';
    return out;
}

inline long countMessages(const std::string& area, AreaFormat format) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (format == AreaFormat::Jam) {
        auto size = fs::file_size(area + ".jdx", ec);
        return ec ? 0 : static_cast<long>(size / 8);
    }
    long n = 0;
    for (const auto& e : fs::directory_iterator(area, ec)) {
        const std::string name = e.path().filename().string();
        auto dot = name.find('.');
        if (dot == 0 || dot == std::string::npos) continue;
        std::string ext = name.substr(dot);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
        if (ext == ".msg" && std::all_of(name.begin(), name.begin() + dot, [](unsigned char ch) { return std::isdigit(ch); }))
            ++n;
    }
    return n;
}

inline long statCount(const std::string& output, const char* label) {
    std::smatch m;
    if (!std::regex_search(output, m, std::regex(std::string(label) + R"(:\s+(\d+))"))) return -1;
    return std::stol(m[1]);
}

}  // namespace crashmail_detail

// Writes the configuration and its directories unless they are there.
// `msgHighwater`: crashmail keeps its high-water mark in 1.msg of *.MSG
// areas (written when it scans them, see scanCrashmailAreas).
inline void writeCrashmailConfig(const std::string& dir, bool msgHighwater = false) {
    namespace fs = std::filesystem;
    const std::string cm = dir + "/crashmail";
    if (fs::exists(crashmailConfigPath(dir))) return;
    for (const char* sub : {"inbound", "outbound", "temp", "pktdir", "stage", "bad"}) fs::create_directories(cm + "/" + sub);
    fs::create_directories(dir + "/areas");
    const std::string own = kCrashmailOwnNode, feed = kCrashmailFeedNode;
    auto q = [](const std::string& s) { return "\"" + s + "\""; };
    std::string prefs;
    prefs += "SYSOP \"Orbisk Test\"\n";
    prefs += "LOGFILE " + q(cm + "/crashmail.log") + "\n";
    prefs += "LOGLEVEL 3\n";
    prefs += "DUPEMODE IGNORE\n";
    prefs += "IMPORTSEENBY\n";
    prefs += "DEFAULTZONE 2\n";
    if (msgHighwater) prefs += "MSG_HIGHWATER\n";
    prefs += "INBOUND " + q(cm + "/inbound") + "\n";
    prefs += "OUTBOUND " + q(cm + "/outbound") + "\n";
    prefs += "TEMPDIR " + q(cm + "/temp") + "\n";
    prefs += "CREATEPKTDIR " + q(cm + "/pktdir") + "\n";
    prefs += "PACKETDIR " + q(cm + "/outbound") + "\n";
    prefs += "STATSFILE " + q(cm + "/crashmail.stats") + "\n";
    prefs += "AKA " + own + "\n";
    prefs += "NODE " + feed + " \"\" \"\"\n";
    prefs += "AREA \"BAD\" " + own + " MSG " + q(cm + "/bad") + "\n";
    prefs += "AREA " + q(crashmailAreaTag(AreaFormat::Msg)) + " " + own + " MSG " +
             q(crashmailAreaPath(dir, AreaFormat::Msg)) + "\n";
    prefs += "EXPORT %" + feed + "\n";
    prefs += "AREA " + q(crashmailAreaTag(AreaFormat::Jam)) + " " + own + " JAM " +
             q(crashmailAreaPath(dir, AreaFormat::Jam)) + "\n";
    prefs += "EXPORT %" + feed + "\n";
    writeFile(crashmailConfigPath(dir), prefs);
}

// Tosses the messages, in order, into the area of the given format (each
// toss appends after what is already there) and returns the area path.
// Throws std::runtime_error with the tools' output and log when a message
// did not land in the area.
inline std::string tossMessages(const std::string& dir, AreaFormat format, const std::vector<FidoTestMessage>& msgs) {
    namespace fs = std::filesystem;
    using namespace crashmail_detail;
    if (!crashmailAvailable()) fail("crashmail tools are not installed");
    writeCrashmailConfig(dir);
    const std::string area = crashmailAreaPath(dir, format);
    const std::string stage = dir + "/crashmail/stage";
    const std::string textFile = dir + "/crashmail/text.txt";
    long count = countMessages(area, format);
    int index = 0;
    for (const auto& m : msgs) {
        ++index;
        const std::string which = "message " + std::to_string(index) + " (\"" + m.subject + "\")";
        if (m.from.size() > 35 || m.to.size() > 35 || m.subject.size() > 71)
            fail(which + ": name or subject too long for a packet header");
        if (m.body.find('\0') != std::string::npos) fail(which + ": NUL byte in the body");

        for (const auto& e : fs::directory_iterator(stage)) fs::remove(e.path());
        writeFile(textFile, textFileBytes(m.body));
        ToolRun write = run(dir, {kCrashwrite, "DIR", stage, "FROMNAME", m.from, "FROMADDR", kCrashmailFeedNode,
                                  "TONAME", m.to, "TOADDR", kCrashmailOwnNode, "SUBJECT", m.subject, "AREA",
                                  crashmailAreaTag(format), "ORIGIN", m.origin, "TEXT", textFile});
        std::vector<std::string> packets;
        for (const auto& e : fs::directory_iterator(stage))
            if (e.path().extension() == ".pkt") packets.push_back(e.path().string());
        if (write.status != 0 || packets.size() != 1) fail(describe(dir, "crashwrite failed for " + which, write));

        ToolRun toss = run(dir, {kCrashmail, "SETTINGS", crashmailConfigPath(dir), "TOSSFILE", packets[0], "NOSECURITY"});
        const long now = countMessages(area, format);
        if (toss.status != 0 || statCount(toss.output, "Imported messages") != 1 ||
            statCount(toss.output, "Bad messages") != 0 || now != count + 1)
            fail(describe(dir, "crashmail did not import " + which + " into " + crashmailAreaTag(format) + " (" +
                                   std::to_string(now - count) + " new messages in the area)", toss));
        count = now;
    }
    return area;
}

// Runs crashmaint on this directory's configuration, e.g. {"PACK",
// "VERBOSE", "PATTERN", "TVLIST"}.
inline ToolRun runCrashmaint(const std::string& dir, const std::vector<std::string>& args) {
    if (!crashmailAvailable()) crashmail_detail::fail("crashmail tools are not installed");
    writeCrashmailConfig(dir);
    std::vector<std::string> argv = {kCrashmaint, "SETTINGS", crashmailConfigPath(dir)};
    argv.insert(argv.end(), args.begin(), args.end());
    return crashmail_detail::run(dir, argv);
}

// Runs "crashmail SCAN" on this directory's configuration: every area is
// scanned for messages to export (and its high-water mark updated).
inline ToolRun scanCrashmailAreas(const std::string& dir) {
    if (!crashmailAvailable()) crashmail_detail::fail("crashmail tools are not installed");
    writeCrashmailConfig(dir);
    return crashmail_detail::run(dir, {kCrashmail, "SETTINGS", crashmailConfigPath(dir), "SCAN"});
}

// crashmaint exits with 0 even when it gave up on an area; its verdict is
// in the words of its output.
inline bool crashmaintSucceeded(const ToolRun& run) {
    if (run.status != 0) return false;
    static const std::regex failure(R"(fail|error|cannot|can't|unable)", std::regex::icase);
    return !std::regex_search(run.output, failure);
}

}  // namespace orbisk::test
