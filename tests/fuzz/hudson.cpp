// A Hudson base made of the fuzzer's bytes, walked through the whole read
// path, and optionally deleted from and written to. Input layout:
//   byte 0  board choice       byte 1  flags       byte 2  record count
//   then the index (3 n), headers (187 n), addressee records (36 n), the
//   information record (406) and the text file (the rest), zero-filled
//   where the input runs out. Flags damage the file sizes so that the open
//   checks see disagreeing files too.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "msgbase/hudsonarea.h"

namespace {

const std::string& Dir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/orbisk-fuzz-hudson-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        return std::string(pattern) + "/";
    }();
    return dir;
}

void Put(const std::string& name, const std::string& bytes) {
    FILE* f = std::fopen((Dir() + name).c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string Take(const std::uint8_t*& p, const std::uint8_t* end, std::size_t n) {
    std::string s(n, '\0');
    const std::size_t have = std::min<std::size_t>(n, static_cast<std::size_t>(end - p));
    s.replace(0, have, reinterpret_cast<const char*>(p), have);
    p += have;
    return s;
}

void ReadAll(orbisk::HudsonArea& a) {
    a.LoadHeader();
    (void)a.GetMessageNumber();
    (void)a.GetFromName();
    (void)a.GetToName();
    (void)a.GetSubject();
    (void)a.GetDateTime();
    (void)a.GetOrigAddress();
    (void)a.GetDestAddress();
    (void)a.IsDeleted();
    (void)a.IsPrivate();
    a.StartText();
    int lines = 0;
    while (!a.AtTextEnd()) {
        const std::string line = a.ReadTextLineNoKludge(lines % 3 ? 255 : 30);
        if (line.size() > 255 || ++lines > 200000) std::abort();
    }
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
    std::string idx = Take(p, end, 3 * n);
    std::string hdr = Take(p, end, 187 * n);
    std::string toidx = Take(p, end, 36 * n);
    std::string info = Take(p, end, 406);
    std::string txt = Take(p, end, std::min<std::size_t>(static_cast<std::size_t>(end - p), 1 << 16));
    if (flags & 0x01) info.resize(flags & 0x02 ? 405 : 407);
    if (flags & 0x04) hdr += std::string(187, 'h');
    if (flags & 0x08) idx.resize(idx.size() / 2);
    Put("msgidx.bbs", idx);
    Put("msghdr.bbs", hdr);
    Put("msgtoidx.bbs", toidx);
    Put("msginfo.bbs", info);
    Put("msgtxt.bbs", txt);
    ::unlink((Dir() + "echomail.bbs").c_str());

    orbisk::HudsonArea a;
    a.SetAreaPath((board < 100 ? "00" : "") + std::to_string(board) + Dir());
    if (a.OpenArea() != 0) return 0;
    int steps = 0;
    for (a.LocateFrom(1); a.IsLocated() && steps < 100; a.LocateNext(), ++steps) ReadAll(a);
    (void)a.GetHighestExisting();
    for (steps = 0; a.IsLocated() && steps < 20; a.LocatePrior(), ++steps) ReadAll(a);
    (void)a.CountMessages();
    a.FindAddressedFirst("All", "Sysop");
    for (steps = 0; a.FoundAddressed() && steps < 20; a.FindAddressedNext(), ++steps) ReadAll(a);

    if (flags & 0x10) {
        a.LocateFrom(1);
        if (a.IsLocated()) {
            a.LoadHeader();
            a.DeleteCurrent();
        }
        for (steps = 0, a.LocateFrom(1); a.IsLocated() && steps < 100; a.LocateNext(), ++steps) ReadAll(a);
    }
    if (flags & 0x20) {
        a.StartNewMessage();
        a.SetSubject("Fuzz");
        a.SetMailKind(1);
        a.WriteTextLine("line");
        if (a.SaveMessage() == 0) {
            a.LocateFrom(a.GetHighNumber());
            if (a.IsLocated()) ReadAll(a);
        }
    }
    a.CloseArea();
    return 0;
}
