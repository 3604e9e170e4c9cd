// Saving into a *.MSG area on a file system without hard links (FAT, some
// network shares). This test program stands in for such a file system by
// answering link() itself; every other test gets the real call.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "msgbase/fidomsgarea.h"
#include "support/tempdir.h"

namespace {
std::function<int(const char*, const char*)> linkStandIn;
}

extern "C" int link(const char* from, const char* to) noexcept {
    if (linkStandIn) return linkStandIn(from, to);
    return static_cast<int>(::syscall(SYS_linkat, AT_FDCWD, from, AT_FDCWD, to, 0));
}

namespace orbisk {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

struct NoHardLinks {
    explicit NoHardLinks(std::function<void(const std::string& target)> meanwhile = {}) {
        linkStandIn = [meanwhile](const char*, const char* to) {
            if (meanwhile) meanwhile(to);
            errno = EPERM;
            return -1;
        };
    }
    ~NoHardLinks() { linkStandIn = nullptr; }
};

void compose(MessageArea& a, const std::string& subject) {
    a.startNewMessage();
    a.setFromName("Writer");
    a.setToName("All");
    a.setSubject(subject);
    a.writeTextLine("text of " + subject);
}

std::string subjectOf(const std::string& identifier, MsgNumber n) {
    std::unique_ptr<MessageArea> a;
    if (!openAreaByIdentifier(a, identifier)) return "(no area)";
    a->locateFrom(n);
    std::string subject = a->getMessageNumber() == n ? (a->loadHeader(), a->getSubject()) : "(none)";
    closeAreaAndFree(a);
    return subject;
}

TEST(FidoMsgNoHardLinks, SaveCreatesTheFileExclusivelyAndNeverReplacesAnotherProgramsMessage) {
    TempDir dir;
    const std::string area = dir / "area";
    fs::create_directories(area);
    const std::string identifier = "F" + area + "/";
    std::unique_ptr<MessageArea> a;
    ASSERT_TRUE(openAreaByIdentifier(a, identifier));
    {
        NoHardLinks fs;
        compose(*a, "first");
        ASSERT_EQ(a->saveMessage(), 0);
        EXPECT_EQ(a->getMessageNumber(), 1);
    }
    // Another program writes 2.msg after our look at the folder and before
    // our file is made; with rename() ours would replace it.
    const std::string theirs = "their message, not to be touched";
    int racedOnce = 0;
    {
        NoHardLinks fs([&](const std::string& target) {
            if (racedOnce++ == 0) writeFile(target, theirs);
        });
        compose(*a, "second");
        ASSERT_EQ(a->saveMessage(), 0);
        EXPECT_EQ(a->getMessageNumber(), 3);
    }
    closeAreaAndFree(a);
    EXPECT_EQ(readFile(area + "/2.msg"), theirs);
    EXPECT_EQ(subjectOf(identifier, 1), "first");
    EXPECT_EQ(subjectOf(identifier, 3), "second");
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : fs::directory_iterator(area)) files += e.is_regular_file();
    EXPECT_EQ(files, 3);
}

}  // namespace
}  // namespace orbisk
