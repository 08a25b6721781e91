#pragma once

#include <ctime>

namespace kestrel {

// Where the program reads the time of day: the password age, the time of a password change
// and the date of the chat history. Tests give their own clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::time_t Now() const = 0;
};

// The system's clock.
const Clock& SystemClock();

}  // namespace kestrel
