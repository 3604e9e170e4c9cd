#include "msgbase/address.h"

#include "msgbase/msgstr.h"

namespace orbisk {

std::string addressToStr3D(const FidoAddress& a) {
    return longToStr(a.zone) + ":" + longToStr(a.net) + "/" + longToStr(a.node);
}

std::string addressToStr(const FidoAddress& a) {
    std::string r = addressToStr3D(a);
    if (a.point != 0) r += "." + longToStr(a.point);
    return r;
}

namespace {

bool number(std::string_view s, std::uint16_t& out) {
    std::int32_t v = 0;
    if (!tryStrToLong(stripBoth(s, ' '), v)) return false;
    out = static_cast<std::uint16_t>(v);
    return true;
}

}  // namespace

bool parseAddress(std::string_view text, const FidoAddress& def, FidoAddress& a) {
    std::string s = stripBoth(upperStr(text), ' ');
    if (auto at = s.find('@'); at != std::string::npos) s.resize(at);

    if (auto p = s.find(':'); p != std::string::npos) {
        if (!number(std::string_view(s).substr(0, p), a.zone)) return false;
        s.erase(0, p + 1);
    } else {
        a.zone = def.zone;
    }
    if (auto p = s.find('/'); p != std::string::npos) {
        if (!number(std::string_view(s).substr(0, p), a.net)) return false;
        s.erase(0, p + 1);
    } else {
        a.net = def.net;
    }
    if (auto p = s.find('.'); p != std::string::npos) {
        if (!number(std::string_view(s).substr(p + 1), a.point)) a.point = 0;
        s.resize(p);
    } else {
        a.point = 0;
    }
    if (stripBoth(s, ' ').empty()) {
        a.node = def.node;
        return true;
    }
    return number(s, a.node);
}

}  // namespace orbisk
