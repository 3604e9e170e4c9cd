#pragma once
// A load in a benchmark runs unattended: notices go nowhere and the
// first-run dialogs are never wanted.
#include <string>

#include "base/ui.h"
#include "config/config.h"

namespace bench {

class Silent : public orbisk::Notifier {
public:
    void show(const std::string&, const std::string&, orbisk::MsgIcon) override {}
    orbisk::Answer ask(const std::string&, const std::string&, orbisk::MsgIcon, orbisk::Buttons) override {
        return orbisk::Answer::No;
    }
};

class NoPrompts : public orbisk::ConfigPrompts {
public:
    bool editMessageBase(orbisk::Config&) override { return false; }
    bool editMessageParams(orbisk::Config&) override { return false; }
};

}  // namespace bench
