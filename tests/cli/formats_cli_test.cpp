// The same mailing stored in each of the four message-base formats gives the
// same week index and the same listing days through orbisk-cli. The demo's
// *.MSG area is copied message by message, kludge lines included, into a
// Squish, a JAM and a Hudson base with their own write sides.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>

#include "base/inifile.h"
#include "base/timetext.h"
#include "base/ui.h"
#include "msgbase/messagearea.h"
#include "support/clirun.h"
#include "support/tempdir.h"

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::isoDate;
using test::runCli;
using test::TempDir;

// Copies every message of `from` into `to` (created when missing).
void copyArea(const std::string& from, const std::string& to) {
    std::unique_ptr<MessageArea> src, dst;
    ASSERT_TRUE(openAreaByIdentifier(src, from));
    ASSERT_TRUE(createAreaForIdentifier(dst, to));
    if (!dst->areaExists()) {
        ASSERT_EQ(dst->createArea(), 0) << to;
    }
    ASSERT_EQ(dst->openArea(), 0) << to;
    int copied = 0;
    for (src->locateFrom(1); src->isLocated(); src->locateNext()) {
        src->loadHeader();
        src->startText();
        dst->startNewMessage();
        dst->setFromName(src->getFromName());
        dst->setToName(src->getToName());
        dst->setSubject(src->getSubject());
        dst->setDateTime(src->getDateTime());
        dst->setOrigAddress(src->getOrigAddress());
        dst->setDestAddress(src->getDestAddress());
        while (!src->atTextEnd()) {
            const std::string line = src->readTextLine(254);
            if (src->getLastLineWrapped())
                dst->writeText(line);
            else if (!line.empty() && line[0] == '\x01')
                dst->writeKludgeLine(line);
            else
                dst->writeTextLine(line);
        }
        ASSERT_EQ(dst->saveMessage(), 0) << to;
        ++copied;
    }
    EXPECT_GT(copied, 7);
    EXPECT_TRUE(closeAreaAndFree(src));
    EXPECT_TRUE(closeAreaAndFree(dst));
}

json cliJson(const TempDir& dir, const std::vector<std::string>& args) {
    const test::CliResult r = runCli(dir, args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? json::parse(r.out) : json();
}

// The message numbers belong to each base; the listing must not.
json withoutNumbers(json weeks) {
    for (auto& week : weeks["weeks"])
        for (auto& m : week["messages"]) m.erase("msgnum");
    weeks.erase("other_messages");
    return weeks;
}

TEST(FormatsCli, OneMailingReadsTheSameFromEveryFormat) {
    TempDir dir;
    const DateTime today = listingDate(SystemClock().now());
    const std::string fido = dir / "fido";
    ASSERT_EQ(runCli(dir, {"demo", "--out", fido, "--format", "msg", "--date", isoDate(today)}).status, 0);
    const std::string fidoIni = fido + "/Orbisk.ini";
    const std::string fidoId = IniFile(fidoIni).readString("MAIN", "FIDOPath", "");
    ASSERT_EQ(fidoId.substr(0, 1), "F");

    const json weeks = cliJson(dir, {"--ini", fidoIni, "weeks"});
    ASSERT_EQ(weeks["weeks"].size(), 1u);
    std::vector<json> days;
    for (const auto& d : weeks["weeks"][0]["days"]) days.push_back(cliJson(dir, {"--ini", fidoIni, "day", d["date"]}));
    ASSERT_EQ(days.size(), 7u);
    ASSERT_TRUE(days[0]["has_text"].get<bool>());

    fs::create_directories(dir / "squish");
    fs::create_directories(dir / "jam");
    fs::create_directories(dir / "hudson");
    for (const std::string& id : {"S" + (dir / "squish/tvlist"), "J" + (dir / "jam/tvlist"), "H003" + (dir / "hudson/")}) {
        SCOPED_TRACE(id);
        copyArea(fidoId, id);
        const std::string ini = dir / (id.substr(0, 1) + ".ini");
        fs::copy_file(fidoIni, ini, fs::copy_options::overwrite_existing);
        IniFile(ini).writeString("MAIN", "FIDOPath", id);
        const json other = cliJson(dir, {"--ini", ini, "weeks"});
        EXPECT_EQ(withoutNumbers(other), withoutNumbers(weeks));
        EXPECT_EQ(other["other_messages"].size(), weeks["other_messages"].size());
        for (std::size_t i = 0; i < days.size(); ++i)
            EXPECT_EQ(cliJson(dir, {"--ini", ini, "day", weeks["weeks"][0]["days"][i]["date"]}), days[i]) << i;
    }
}

}  // namespace
}  // namespace orbisk
