#pragma once
// The current date and time as the system formats them for the user, and as a timestamp.

#include <string>

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::string ShortDate() = 0;     // the system's short date format
    virtual std::string TimeOfDay() = 0;     // the system's time format
    virtual std::string UtcTimestamp() = 0;  // "2026-12-06T08:15:02Z"
};
