// orbisk-cli xmltv on the demo listings and on the demo mailing tossed by
// crashmail, read back by the XMLTV tools of the Debian package xmltv-util.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "base/codepage.h"
#include "base/datetime.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "export/xmltv.h"
#include "support/clirun.h"
#include "support/crashmail.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::TempDir;

constexpr const char* kCli = test::kCliProgram;
constexpr const char* kValidate = "/usr/bin/tv_validate_file";
constexpr const char* kToText = "/usr/bin/tv_to_text";
constexpr const char* kGrep = "/usr/bin/tv_grep";
constexpr const char* kDtd = "/usr/share/xmltv/xmltv.dtd";

using ToolResult = test::CliResult;

// Any program, run the way orbisk-cli is.
ToolResult spawn(const TempDir& dir, const std::string& program, std::vector<std::string> args) {
    return test::runCli(dir, std::move(args), program);
}

bool xmltvToolsInstalled() { return access(kValidate, X_OK) == 0 && access(kToText, X_OK) == 0 && access(kGrep, X_OK) == 0; }

std::string iso(DateTime date) { return test::isoDate(date); }

// The dates carry no year: the demo week must be the week of today.
const DateTime kToday = listingDate(SystemClock().now());
const DateTime kMonday = kToday - (dayOfWeek(kToday) + 5) % 7;

// The week's entries with a title per channel display name (UTF-8), as the
// "day" command lists them.
std::map<std::string, int> entriesPerChannel(const TempDir& dir, const std::string& ini) {
    std::map<std::string, int> count;
    for (int d = 0; d < 7; ++d) {
        const ToolResult r = spawn(dir, kCli, {"--ini", ini, "day", iso(kMonday + d)});
        EXPECT_EQ(r.status, 0) << r.err;
        if (r.status != 0) continue;
        const json day = json::parse(r.out);
        for (const auto& c : day["channels"])
            for (const auto& e : c["entries"])
                if (e["line"].get<std::string>().size() > 6) ++count[c["desc"].get<std::string>()];
    }
    return count;
}

// Checks the document in `file` with the three tools against the entries
// with a title that the listing holds.
void checkWithXmltvTools(const TempDir& dir, const std::string& file, const std::map<std::string, int>& entries) {
    const ToolResult valid = spawn(dir, kValidate, {"--dtd-file", kDtd, file});
    EXPECT_EQ(valid.status, 0) << valid.out << valid.err;
    EXPECT_EQ(valid.out, "Validated ok.\n");

    // tv_to_text: "HH:MM--HH:MM<tab>title<tab>channel" per programme.
    const ToolResult text = spawn(dir, kToText, {file});
    ASSERT_EQ(text.status, 0) << text.err;
    static const std::regex line("^(\\d\\d:\\d\\d)--(\\d\\d:\\d\\d)?\\t([^\\t]+)\\t([^\\t]+)$");
    std::map<std::string, int> listed;
    int withoutStop = 0;
    std::istringstream in(text.out);
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (!std::regex_match(l, m, line)) continue;
        ++listed[m[4]];
        if (!m[2].matched) ++withoutStop;
    }
    EXPECT_EQ(listed, entries);
    // Each channel's last programme of the week has no stop (every demo day
    // has text, so only Sunday's last ones, the next week being absent).
    EXPECT_EQ(withoutStop, static_cast<int>(entries.size()));

    // tv_grep finds a channel by its id with all its programmes.
    const std::string& name = entries.begin()->first;
    const ToolResult grep = spawn(dir, kGrep, {"--channel-id", xmltvChannelId(utf8ToAnsi(name)), file});
    ASSERT_EQ(grep.status, 0) << grep.err;
    std::size_t programmes = 0;
    for (std::size_t at = 0; (at = grep.out.find("<programme ", at)) != std::string::npos; ++at) ++programmes;
    EXPECT_EQ(programmes, static_cast<std::size_t>(entries.begin()->second)) << name;
    EXPECT_NE(grep.out.find("<display-name lang=\"ru\">" + name + "</display-name>"), std::string::npos);
}

TEST(XmltvCli, DemoListingsReadBackByTheXmltvTools) {
    if (!xmltvToolsInstalled()) GTEST_SKIP() << "xmltv-util is not installed";
    TempDir dir;
    for (const char* format : {"text", "msg"}) {
        SCOPED_TRACE(format);
        const std::string demo = dir / format;
        ASSERT_EQ(spawn(dir, kCli, {"demo", "--out", demo, "--format", format, "--date", iso(kToday)}).status, 0);
        const std::string ini = demo + "/Orbisk.ini";
        const std::map<std::string, int> entries = entriesPerChannel(dir, ini);
        ASSERT_EQ(entries.size(), 10u);

        // To stdout, and the same bytes into a file.
        const ToolResult out = spawn(dir, kCli, {"--ini", ini, "xmltv", iso(kToday)});
        ASSERT_EQ(out.status, 0) << out.err;
        EXPECT_EQ(out.err, "");
        const std::string file = demo + "/week.xml";
        const ToolResult saved = spawn(dir, kCli, {"--ini", ini, "xmltv", iso(kMonday + 6), "--out", file});
        ASSERT_EQ(saved.status, 0) << saved.err;
        EXPECT_EQ(test::readFile(file), out.out);
        int total = 0;
        for (const auto& [name, n] : entries) total += n;
        EXPECT_EQ(json::parse(saved.out),
                  json({{"file", file}, {"week_found", true}, {"channels", 10}, {"programmes", total}}));

        // The mailing's document goes through the tools in the crashmail test.
        if (std::string(format) == "text") checkWithXmltvTools(dir, file, entries);
    }

    // A week without listings: an empty document, and bad arguments fail.
    const std::string ini = dir / "text/Orbisk.ini";
    const ToolResult none = spawn(dir, kCli, {"--ini", ini, "xmltv", iso(kMonday - 7)});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out.find("<programme"), std::string::npos);
    EXPECT_NE(none.out.find("</tv>"), std::string::npos);
    EXPECT_EQ(spawn(dir, kCli, {"--ini", ini, "xmltv"}).status, 1);
    EXPECT_EQ(spawn(dir, kCli, {"--ini", ini, "xmltv", "2026-13-01"}).status, 1);
    EXPECT_EQ(spawn(dir, kCli, {"--ini", ini, "xmltv", iso(kToday), "--bad", "x"}).status, 1);
    const ToolResult unwritable = spawn(dir, kCli, {"--ini", ini, "xmltv", iso(kToday), "--out", dir / "no/such/week.xml"});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("no/such/week.xml"), std::string::npos) << unwritable.err;
}

// The messages of the demo's *.MSG area as a tosser receives them: header
// names and subject, the text up to its tearline without kludges.
std::vector<test::FidoTestMessage> demoMessages(const std::string& area) {
    std::map<int, std::string> files;
    for (const auto& e : fs::directory_iterator(area))
        files[std::stoi(e.path().stem().string())] = test::readFile(e.path().string());
    std::vector<test::FidoTestMessage> out;
    for (const auto& file : files) {
        const std::string& bytes = file.second;
        if (bytes.size() < 190) continue;
        const auto field = [&](std::size_t at, std::size_t size) {
            const std::string f = bytes.substr(at, size);
            return f.substr(0, f.find('\0'));
        };
        test::FidoTestMessage m;
        m.from = field(0, 36);
        m.to = field(36, 36);
        m.subject = field(72, 72);
        const std::string text = bytes.substr(190, bytes.find('\0', 190) - 190);
        std::istringstream in(text);
        for (std::string l; std::getline(in, l, '\r');) {
            if (l.rfind("--- ", 0) == 0) break;
            if (!l.empty() && l[0] == '\x01') continue;
            m.body += l + "\r";
        }
        out.push_back(m);
    }
    return out;
}

TEST(XmltvCli, CrashmailTossedMailingGivesTheSameDocument) {
    if (!xmltvToolsInstalled()) GTEST_SKIP() << "xmltv-util is not installed";
    if (!test::crashmailAvailable()) GTEST_SKIP() << "crashmail is not installed";
    TempDir dir;
    const std::string demo = dir / "demo";
    ASSERT_EQ(spawn(dir, kCli, {"demo", "--out", demo, "--format", "msg", "--date", iso(kToday)}).status, 0);
    const auto messages = demoMessages(demo + "/echo");
    ASSERT_EQ(messages.size(), 10u);

    const std::string tossDir = dir / "fido";
    fs::create_directory(tossDir);
    const std::string area = test::tossMessages(tossDir, test::AreaFormat::Msg, messages);
    // The demo's settings with the tossed area as the message base.
    std::string iniText = test::readFile(demo + "/Orbisk.ini");
    const std::string from = "FIDOPath=F" + demo + "/echo\r\n";
    ASSERT_NE(iniText.find(from), std::string::npos);
    iniText.replace(iniText.find(from), from.size(), "FIDOPath=F" + area + "\r\n");
    const std::string ini = tossDir + "/Orbisk.ini";
    test::writeFile(ini, iniText);

    const std::string file = tossDir + "/week.xml";
    const ToolResult tossed = spawn(dir, kCli, {"--ini", ini, "xmltv", iso(kToday), "--out", file});
    ASSERT_EQ(tossed.status, 0) << tossed.err;
    const ToolResult original = spawn(dir, kCli, {"--ini", demo + "/Orbisk.ini", "xmltv", iso(kToday)});
    ASSERT_EQ(original.status, 0) << original.err;
    EXPECT_EQ(test::readFile(file), original.out);
    checkWithXmltvTools(dir, file, entriesPerChannel(dir, ini));
}

}  // namespace
}  // namespace orbisk
