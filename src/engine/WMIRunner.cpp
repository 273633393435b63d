#include "engine/WMIRunner.h"

#include <exception>
#include <memory>

#include "platform/MessageBox.h"
#include "platform/WmiService.h"

std::string WMIRunner::WarningText(const wmiItem& item) {
    // Kept word for word, "then" included: users and their tools know the warning by this text.
    return item.Command + " Was more then or equal to " + std::to_string(item.WarningLevel);
}

void WMIRunner::Run(const std::vector<wmiItem>& wmiItems) {
    GlobalUtils utils(platform_.env);
    const wmiItem* current = nullptr;
    auto fail = [&](int32_t hresult) {
        throw ErrorRecord(hresult, utils.ExecutableName() + ".WMIRunner",
                          platform_.wmi.ErrorText(hresult));
    };
    try {
        for (const wmiItem& item : wmiItems) {
            current = &item;
            // A fresh connection per query, so one broken connection spoils only its query.
            std::unique_ptr<WmiService> service;
            int32_t hr = platform_.wmi.Connect(service);
            if (hr < 0 || !service) fail(hr < 0 ? hr : static_cast<int32_t>(0x80004005u));

            std::unique_ptr<WmiResultSet> found;
            hr = service->ExecQuery(item.Command, found);
            if (hr < 0 || !found) fail(hr < 0 ? hr : static_cast<int32_t>(0x80004005u));

            if (item.WarningLevel == kNotExamined) continue;

            int32_t count = 0;
            hr = found->Count(count);
            if (hr < 0) fail(hr);
            if (count >= item.WarningLevel) platform_.messages.ShowOk(WarningText(item));
        }
    } catch (const ErrorRecord& failure) {
        utils.WriteLog(" Command:" + (current ? current->Command : std::string()), failure);
    } catch (const std::exception& failure) {
        utils.WriteLog(" Command:" + (current ? current->Command : std::string()),
                       ErrorRecord(0, utils.ExecutableName() + ".WMIRunner", failure.what()));
    } catch (...) {
        utils.WriteLog(" Command:" + (current ? current->Command : std::string()),
                       ErrorRecord(0, utils.ExecutableName() + ".WMIRunner", "Unknown failure"));
    }
}
