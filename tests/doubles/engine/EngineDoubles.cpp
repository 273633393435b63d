#include "EngineDoubles.h"

#include <cstdio>

namespace {

class ScriptedSet final : public WmiResultSet {
public:
    ScriptedSet(ScriptedWmi& owner, std::string query, ScriptedWmi::Answer answer)
        : owner_(owner), query_(std::move(query)), answer_(answer) {}

    int32_t Count(int32_t& count) override {
        owner_.counted.push_back(query_);
        count = answer_.countResult < 0 ? 0 : answer_.count;
        return answer_.countResult;
    }

private:
    ScriptedWmi& owner_;
    std::string query_;
    ScriptedWmi::Answer answer_;
};

class ScriptedService final : public WmiService {
public:
    explicit ScriptedService(ScriptedWmi& owner) : owner_(owner) { ++owner_.openServices; }
    ~ScriptedService() override { --owner_.openServices; }

    int32_t ExecQuery(const std::string& query, std::unique_ptr<WmiResultSet>& result) override {
        owner_.executed.push_back(query);
        const ScriptedWmi::Answer answer = owner_.answers[query];
        if (answer.execResult < 0) return answer.execResult;
        result = std::make_unique<ScriptedSet>(owner_, query, answer);
        return 0;
    }

private:
    ScriptedWmi& owner_;
};

}  // namespace

int32_t ScriptedWmi::Connect(std::unique_ptr<WmiService>& service) {
    if (connectionsBeforeFailure >= 0 && connections >= connectionsBeforeFailure) {
        return static_cast<int32_t>(0x80041003u);  // access denied
    }
    ++connections;
    service = std::make_unique<ScriptedService>(*this);
    return 0;
}

std::string ScriptedWmi::ErrorText(int32_t hresult) {
    char text[40];
    std::snprintf(text, sizeof(text), "wmi text 0x%08X", static_cast<unsigned>(hresult));
    return text;
}

void RecordingMessageBoxes::ShowOk(const std::string& text) { shown.push_back(text); }
