#pragma once
// The machine's one lock on runs that change it: a named object that every session's programs
// see, so that two runs never interleave their writes and undoing both leaves a known state. It
// belongs to the thread that took it; that thread may take it again, and each Take that held it
// is let go once.

#include <chrono>
#include <cstdint>
#include <string>

class RunLock {
public:
    enum class Taken {
        Held,       // this thread holds it
        Abandoned,  // held too, but the run before ended without letting go of it
        Busy,       // another run still held it when the wait was over
        Failed,     // the lock cannot be created or opened; error says why
    };
    virtual ~RunLock() = default;
    // Waits up to `wait` for it; 0: not at all.
    virtual Taken Take(std::chrono::milliseconds wait, uint32_t& error) = 0;
    // Lets go of one Take that held it.
    virtual void Release() = 0;
    // The lock's name, as an administrator would look for it.
    virtual std::string Name() const = 0;
    virtual std::string ErrorText(uint32_t code) = 0;
};
