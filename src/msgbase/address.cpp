#include "msgbase/address.h"

#include "msgbase/msgstr.h"

namespace orbisk {

std::string AddressToStr3D(const FidoAddress& a) {
    return LongToStr(a.zone) + ":" + LongToStr(a.net) + "/" + LongToStr(a.node);
}

std::string AddressToStr(const FidoAddress& a) {
    std::string r = AddressToStr3D(a);
    if (a.point != 0) r += "." + LongToStr(a.point);
    return r;
}

namespace {

bool Number(std::string_view s, std::uint16_t& out) {
    std::int32_t v = 0;
    if (!TryStrToLong(StripBoth(s, ' '), v)) return false;
    out = static_cast<std::uint16_t>(v);
    return true;
}

}  // namespace

bool ParseAddress(std::string_view text, const FidoAddress& def, FidoAddress& a) {
    std::string s = StripBoth(UpperStr(text), ' ');
    if (auto at = s.find('@'); at != std::string::npos) s.resize(at);

    if (auto p = s.find(':'); p != std::string::npos) {
        if (!Number(std::string_view(s).substr(0, p), a.zone)) return false;
        s.erase(0, p + 1);
    } else {
        a.zone = def.zone;
    }
    if (auto p = s.find('/'); p != std::string::npos) {
        if (!Number(std::string_view(s).substr(0, p), a.net)) return false;
        s.erase(0, p + 1);
    } else {
        a.net = def.net;
    }
    if (auto p = s.find('.'); p != std::string::npos) {
        if (!Number(std::string_view(s).substr(p + 1), a.point)) a.point = 0;
        s.resize(p);
    } else {
        a.point = 0;
    }
    if (StripBoth(s, ' ').empty()) {
        a.node = def.node;
        return true;
    }
    return Number(s, a.node);
}

}  // namespace orbisk
