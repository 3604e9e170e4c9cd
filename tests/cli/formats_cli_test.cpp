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
using test::IsoDate;
using test::RunCli;
using test::TempDir;

// Copies every message of `from` into `to` (created when missing).
void CopyArea(const std::string& from, const std::string& to) {
    std::unique_ptr<MessageArea> src, dst;
    ASSERT_TRUE(OpenAreaByIdentifier(src, from));
    ASSERT_TRUE(CreateAreaForIdentifier(dst, to));
    if (!dst->AreaExists()) {
        ASSERT_EQ(dst->CreateArea(), 0) << to;
    }
    ASSERT_EQ(dst->OpenArea(), 0) << to;
    int copied = 0;
    for (src->LocateFrom(1); src->IsLocated(); src->LocateNext()) {
        src->LoadHeader();
        src->StartText();
        dst->StartNewMessage();
        dst->SetFromName(src->GetFromName());
        dst->SetToName(src->GetToName());
        dst->SetSubject(src->GetSubject());
        dst->SetDateTime(src->GetDateTime());
        dst->SetOrigAddress(src->GetOrigAddress());
        dst->SetDestAddress(src->GetDestAddress());
        while (!src->AtTextEnd()) {
            const std::string line = src->ReadTextLine(254);
            if (src->GetLastLineWrapped())
                dst->WriteText(line);
            else if (!line.empty() && line[0] == '\x01')
                dst->WriteKludgeLine(line);
            else
                dst->WriteTextLine(line);
        }
        ASSERT_EQ(dst->SaveMessage(), 0) << to;
        ++copied;
    }
    EXPECT_GT(copied, 7);
    EXPECT_TRUE(CloseAreaAndFree(src));
    EXPECT_TRUE(CloseAreaAndFree(dst));
}

json CliJson(const TempDir& dir, const std::vector<std::string>& args) {
    const test::CliResult r = RunCli(dir, args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? json::parse(r.out) : json();
}

// The message numbers belong to each base; the listing must not.
json WithoutNumbers(json weeks) {
    for (auto& week : weeks["weeks"])
        for (auto& m : week["messages"]) m.erase("msgnum");
    weeks.erase("other_messages");
    return weeks;
}

TEST(FormatsCli, OneMailingReadsTheSameFromEveryFormat) {
    TempDir dir;
    const TDateTime today = ListingDate(SystemClock().Now());
    const std::string fido = dir / "fido";
    ASSERT_EQ(RunCli(dir, {"demo", "--out", fido, "--format", "msg", "--date", IsoDate(today)}).status, 0);
    const std::string fidoIni = fido + "/Orbisk.ini";
    const std::string fidoId = IniFile(fidoIni).ReadString("MAIN", "FIDOPath", "");
    ASSERT_EQ(fidoId.substr(0, 1), "F");

    const json weeks = CliJson(dir, {"--ini", fidoIni, "weeks"});
    ASSERT_EQ(weeks["weeks"].size(), 1u);
    std::vector<json> days;
    for (const auto& d : weeks["weeks"][0]["days"]) days.push_back(CliJson(dir, {"--ini", fidoIni, "day", d["date"]}));
    ASSERT_EQ(days.size(), 7u);
    ASSERT_TRUE(days[0]["has_text"].get<bool>());

    fs::create_directories(dir / "squish");
    fs::create_directories(dir / "jam");
    fs::create_directories(dir / "hudson");
    for (const std::string& id : {"S" + (dir / "squish/tvlist"), "J" + (dir / "jam/tvlist"), "H003" + (dir / "hudson/")}) {
        SCOPED_TRACE(id);
        CopyArea(fidoId, id);
        const std::string ini = dir / (id.substr(0, 1) + ".ini");
        fs::copy_file(fidoIni, ini, fs::copy_options::overwrite_existing);
        IniFile(ini).WriteString("MAIN", "FIDOPath", id);
        const json other = CliJson(dir, {"--ini", ini, "weeks"});
        EXPECT_EQ(WithoutNumbers(other), WithoutNumbers(weeks));
        EXPECT_EQ(other["other_messages"].size(), weeks["other_messages"].size());
        for (std::size_t i = 0; i < days.size(); ++i)
            EXPECT_EQ(CliJson(dir, {"--ini", ini, "day", weeks["weeks"][0]["days"][i]["date"]}), days[i]) << i;
    }
}

}  // namespace
}  // namespace orbisk
