// A Hudson base made of the fuzzer's bytes, walked through the whole read
// path, and optionally deleted from and written to. Input layout:
//   byte 0  board choice       byte 1  flags       byte 2  record count
//   then the index (3 n), headers (187 n), addressee records (36 n), the
//   information record (406) and the text file (the rest), zero-filled
//   where the input runs out. Flags damage the file sizes so that the open
//   checks see disagreeing files too.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzzfiles.h"
#include "msgbase/hudsonarea.h"

namespace {

const std::string& dir() {
    static const std::string dir = orbisk::fuzz::workFolder("hudson") + "/";
    return dir;
}

void put(const std::string& name, const std::string& bytes) { orbisk::fuzz::putFile(dir() + name, bytes); }

std::string take(const std::uint8_t*& p, const std::uint8_t* end, std::size_t n) {
    std::string s(n, '\0');
    const std::size_t have = std::min<std::size_t>(n, static_cast<std::size_t>(end - p));
    s.replace(0, have, reinterpret_cast<const char*>(p), have);
    p += have;
    return s;
}

void readAll(orbisk::HudsonArea& a) {
    a.loadHeader();
    (void)a.getMessageNumber();
    (void)a.getFromName();
    (void)a.getToName();
    (void)a.getSubject();
    (void)a.getDateTime();
    (void)a.getOrigAddress();
    (void)a.getDestAddress();
    (void)a.isDeleted();
    (void)a.isPrivate();
    a.startText();
    int lines = 0;
    std::vector<std::string> read;
    while (!a.atTextEnd()) {
        const std::string line = a.readTextLineNoKludge(lines % 3 ? 255 : 30);
        if (line.size() > 255 || ++lines > 200000) std::abort();
        read.push_back(line);
    }
    // The load's road, into one reused buffer, gives the same lines.
    a.startText();
    std::string buffer;
    for (std::size_t n = 0; n < read.size(); ++n) {
        a.readTextLineNoKludgeInto(buffer, n % 3 ? 255 : 30);
        if (buffer != read[n]) std::abort();
    }
    if (!a.atTextEnd()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static const int kBoards[] = {1, 1, 1, 2, 2, 0, 201, 200};
    const int board = kBoards[data[0] & 7];
    const std::uint8_t flags = data[1];
    const std::size_t n = data[2] % 40;
    const std::uint8_t* p = data + 3;
    const std::uint8_t* end = data + size;
    std::string idx = take(p, end, 3 * n);
    std::string hdr = take(p, end, 187 * n);
    std::string toidx = take(p, end, 36 * n);
    std::string info = take(p, end, 406);
    std::string txt = take(p, end, std::min<std::size_t>(static_cast<std::size_t>(end - p), 1 << 16));
    if (flags & 0x01) info.resize(flags & 0x02 ? 405 : 407);
    if (flags & 0x04) hdr += std::string(187, 'h');
    if (flags & 0x08) idx.resize(idx.size() / 2);
    put("msgidx.bbs", idx);
    put("msghdr.bbs", hdr);
    put("msgtoidx.bbs", toidx);
    put("msginfo.bbs", info);
    put("msgtxt.bbs", txt);
    ::unlink((dir() + "echomail.bbs").c_str());

    orbisk::HudsonArea a;
    a.setAreaPath((board < 100 ? "00" : "") + std::to_string(board) + dir());
    if (a.openArea() != 0) return 0;
    int steps = 0;
    for (a.locateFrom(1); a.isLocated() && steps < 100; a.locateNext(), ++steps) readAll(a);
    (void)a.getHighestExisting();
    for (steps = 0; a.isLocated() && steps < 20; a.locatePrior(), ++steps) readAll(a);
    (void)a.countMessages();
    a.findAddressedFirst("All", "Sysop");
    for (steps = 0; a.foundAddressed() && steps < 20; a.findAddressedNext(), ++steps) readAll(a);

    if (flags & 0x10) {
        a.locateFrom(1);
        if (a.isLocated()) {
            a.loadHeader();
            a.deleteCurrent();
        }
        for (steps = 0, a.locateFrom(1); a.isLocated() && steps < 100; a.locateNext(), ++steps) readAll(a);
    }
    if (flags & 0x20) {
        a.startNewMessage();
        a.setSubject("Fuzz");
        a.setMailKind(1);
        a.writeTextLine("line");
        if (a.saveMessage() == 0) {
            a.locateFrom(a.getHighNumber());
            if (a.isLocated()) readAll(a);
        }
    }
    a.closeArea();
    return 0;
}
