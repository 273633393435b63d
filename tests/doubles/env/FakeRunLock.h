#pragma once
// The machine's run lock as a script: what each Take finds (free, abandoned, another run's, no
// lock to be had), how often this program holds it, and the waits asked for.

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "platform/RunLock.h"

class FakeRunLock final : public RunLock {
public:
    Taken Take(std::chrono::milliseconds wait, uint32_t& error) override {
        waits.push_back(wait);
        Taken taken = Taken::Held;
        if (!script.empty()) taken = script.front(), script.pop_front();
        // Held by this program already: a mutex taken again by its thread counts.
        if (held > 0) taken = Taken::Held;
        error = taken == Taken::Failed ? failure : 0;
        if (taken == Taken::Held || taken == Taken::Abandoned) ++held;
        return taken;
    }
    void Release() override { --held; }
    std::string Name() const override { return "Global\\OrvikOptimizer.Run"; }
    std::string ErrorText(uint32_t code) override { return "system text " + std::to_string(code); }

    std::deque<Taken> script;  // what the next Takes find; then: free
    uint32_t failure = 5;      // the error of a Take that fails
    int held = 0;              // Takes not let go yet
    std::vector<std::chrono::milliseconds> waits;
};
