#pragma once
// What the core needs from the person in front of it and from the world:
// message boxes, questions and the clock. The desktop program implements
// them with Qt, orbisk-cli with stderr, tests with scripted answers.
#include <string>

#include "base/datetime.h"

namespace orbisk {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class Answer { Ok, Cancel, Yes, No };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };

class Notifier {
public:
    virtual ~Notifier() = default;
    // Texts are Windows-1251.
    virtual void show(const std::string& text, const std::string& caption, MsgIcon icon) = 0;
    virtual Answer ask(const std::string& text, const std::string& caption, MsgIcon icon, Buttons buttons) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() const = 0;  // local time
};

class SystemClock : public Clock {
public:
    DateTime now() const override;
};

// Fixed time, for tests and for scripted runs.
class FixedClock : public Clock {
public:
    explicit FixedClock(DateTime t) : t_(t) {}
    DateTime now() const override { return t_; }
    void set(DateTime t) { t_ = t; }

private:
    DateTime t_;
};

}  // namespace orbisk
