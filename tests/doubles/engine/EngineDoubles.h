#pragma once
// Stand-ins for the services the runners stand on: a process launcher that starts nothing, a
// message box that records what it was asked, and a WMI service that answers from a script.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "SystemDoubles.h"
#include "platform/MessageBox.h"
#include "platform/ProcessLauncher.h"
#include "platform/WmiService.h"

// Starts nothing, and every start but of missing.exe succeeds (error 2): what is started is the
// real program's test. The scope is entered and left around each start, as the real one does. An
// awaited command ends as endings says (in time with 0 and no output unless told otherwise). The
// hooks let a test see the machine as each start and each wait finds it.
class IdleProcessLauncher final : public ProcessLauncher {
public:
    std::map<std::string, Ending> endings;
    std::vector<std::chrono::milliseconds> limits;  // of every wait
    std::vector<std::string> started;               // every command line, awaited or not
    std::function<void()> inScope;                  // runs inside each start's scope
    std::function<void()> whileAwaited;             // runs while each started command is awaited

    uint32_t Start(const std::string& commandLine, WindowStyle, StartScope* scope) override {
        started.push_back(commandLine);
        if (scope) scope->Enter();
        if (inScope) inScope();
        if (scope) scope->Leave();
        return commandLine.starts_with("missing.exe") ? 2 : 0;
    }
    uint32_t StartAndWait(const std::string& commandLine, WindowStyle style, StartScope* scope,
                          std::chrono::milliseconds limit, Ending& ending) override {
        ending = {};
        if (const uint32_t failed = Start(commandLine, style, scope)) return failed;
        limits.push_back(limit);
        if (whileAwaited) whileAwaited();
        const auto told = endings.find(commandLine);
        ending = told == endings.end() ? Ending{true, 0, {}, {}} : told->second;
        return 0;
    }
    std::string ErrorText(uint32_t code) override { return "system text " + std::to_string(code); }
};

class ScriptedWmi final : public WmiConnector {
public:
    struct Answer {
        int32_t execResult = 0;  // HRESULT of ExecQuery
        int32_t count = 0;
        int32_t countResult = 0;  // HRESULT of Count
    };

    std::map<std::string, Answer> answers;  // a query without an answer finds nothing
    // Fails Connect once this many connections have been made (-1: never).
    int connectionsBeforeFailure = -1;

    int connections = 0;
    int openServices = 0;               // services made and not yet destroyed
    std::vector<std::string> executed;  // ExecQuery calls
    std::vector<std::string> counted;   // queries whose set was counted

    int32_t Connect(std::unique_ptr<WmiService>& service) override;
    std::string ErrorText(int32_t hresult) override;
};

class RecordingMessageBoxes final : public MessageBoxes {
public:
    std::vector<std::string> shown;

    void ShowOk(const std::string& text) override;
};
