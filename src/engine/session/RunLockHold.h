#pragma once
// One Take of the machine's run lock for a run that changes the machine, let go when the hold
// goes, and what the run tells of it. Apply and undo of both programs and Orvik.exe -RUN hold it;
// plans, dry runs and checks change nothing and never wait for it.

#include <chrono>
#include <optional>
#include <string>

#include "engine/checks/Checks.h"
#include "platform/RunLock.h"

namespace engine {

class RunLockHold {
public:
    RunLockHold() = default;  // no lock: nothing held, nothing refused
    RunLockHold(RunLock& lock, std::chrono::milliseconds wait);
    ~RunLockHold();
    RunLockHold(RunLockHold&& other) noexcept;
    RunLockHold& operator=(RunLockHold&& other) noexcept;

    // Held, or abandoned by the run before (a warning): the run goes on. Busy and failed stop it
    // with an error, before anything is done: without the lock two runs could interleave.
    bool MayRun() const { return taken == RunLock::Taken::Held || abandoned(); }
    bool busy() const { return taken == RunLock::Taken::Busy; }
    bool abandoned() const { return taken == RunLock::Taken::Abandoned; }

    // The problem's message as a sentence of its own, for a log line or a message box.
    std::string Sentence() const;

    RunLock::Taken taken = RunLock::Taken::Held;
    uint32_t error = 0;  // failed: the Windows error
    // busy, lock-failed (errors), lock-abandoned (a warning); none when simply held.
    std::optional<Problem> problem;

private:
    RunLock* lock_ = nullptr;  // held through it until the hold goes
};

}  // namespace engine
