#pragma once

#include <functional>

// A flag of the session whose every change re-derives what runs from the state (the main window's timers and
// lights): whoever sets it cannot forget to tell.
class TStateFlag {
public:
    explicit TStateFlag(std::function<void()> changed)
        : Changed(std::move(changed)) {}
    TStateFlag(const TStateFlag&) = delete;
    TStateFlag& operator=(const TStateFlag&) = delete;

    TStateFlag& operator=(bool value) {
        if (value != Value) {
            Value = value;
            Changed();
        }
        return *this;
    }
    operator bool() const { return Value; }

private:
    bool Value = false;
    std::function<void()> Changed;
};
