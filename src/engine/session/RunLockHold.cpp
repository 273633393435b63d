#include "engine/session/RunLockHold.h"

#include <utility>

namespace engine {
namespace {

std::string Seconds(std::chrono::milliseconds wait) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait).count();
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

Problem Said(RunLock& lock, RunLock::Taken taken, std::chrono::milliseconds wait, uint32_t error) {
    using enum RunLock::Taken;
    const std::string name = lock.Name();
    if (taken == Busy) {
        return {Problem::Severity::Error, "busy", 0, 0,
                "another run of Orvik Optimizer (apply, undo, the editor's Run or Undo, or "
                "Orvik.exe -RUN) is changing this machine and holds " +
                    name +
                    (wait.count() > 0 ? ", and did not let go of it within " + Seconds(wait)
                                      : std::string()) +
                    ": nothing was done"};
    }
    if (taken == Failed) {
        return {Problem::Severity::Error, "lock-failed", 0, 0,
                name + " cannot be had (" + lock.ErrorText(error) +
                    "), so this run could not be kept apart from others: nothing was done"};
    }
    return {Problem::Severity::Warning, "lock-abandoned", 0, 0,
            "the run before this one ended without letting go of " + name +
                " (it was stopped or failed part-way): what it changed may be part-done; its "
                "journal, if it kept one, says how far it came"};
}

}  // namespace

RunLockHold::RunLockHold(RunLock& lock, std::chrono::milliseconds wait) {
    taken = lock.Take(wait, error);
    if (MayRun()) lock_ = &lock;
    if (taken != RunLock::Taken::Held) problem = Said(lock, taken, wait, error);
}

std::string RunLockHold::Sentence() const {
    std::string text = problem ? problem->message : "";
    if (!text.empty() && text.front() >= 'a' && text.front() <= 'z') text.front() -= 'a' - 'A';
    return text;
}

RunLockHold::~RunLockHold() {
    if (lock_) lock_->Release();
}

RunLockHold::RunLockHold(RunLockHold&& other) noexcept
    : taken(other.taken), error(other.error), problem(std::move(other.problem)),
      lock_(std::exchange(other.lock_, nullptr)) {}

RunLockHold& RunLockHold::operator=(RunLockHold&& other) noexcept {
    if (this != &other) {
        if (lock_) lock_->Release();
        taken = other.taken;
        error = other.error;
        problem = std::move(other.problem);
        lock_ = std::exchange(other.lock_, nullptr);
    }
    return *this;
}

}  // namespace engine
