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
    virtual void Show(const std::string& text, const std::string& caption, MsgIcon icon) = 0;
    virtual Answer Ask(const std::string& text, const std::string& caption, MsgIcon icon, Buttons buttons) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual TDateTime Now() const = 0;  // local time
};

class SystemClock : public Clock {
public:
    TDateTime Now() const override;
};

// Fixed time, for tests and for scripted runs.
class FixedClock : public Clock {
public:
    explicit FixedClock(TDateTime t) : t_(t) {}
    TDateTime Now() const override { return t_; }
    void Set(TDateTime t) { t_ = t; }

private:
    TDateTime t_;
};

}  // namespace orbisk
