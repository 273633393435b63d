#include "engine/WMIRunner.h"

#include <memory>

#include "engine/Reports.h"
#include "platform/MessageBox.h"
#include "platform/WmiService.h"

std::string WMIRunner::WarningText(const wmiItem& item) {
    // Kept word for word, "then" included: users and their tools know the warning by this text.
    return item.Command + " Was more then or equal to " + std::to_string(item.WarningLevel);
}

void WMIRunner::Run(const std::vector<wmiItem>& wmiItems) {
    GlobalUtils utils(platform_.env);
    size_t index = 0;
    auto fail = [&](int32_t hresult) {
        throw ErrorRecord(hresult, utils.ExecutableName() + ".WMIRunner",
                          platform_.wmi.ErrorText(hresult));
    };
    try {
        for (; index < wmiItems.size(); ++index) {
            const wmiItem& item = wmiItems[index];
            ActionRecord record = reports::For(item, index, ActionRecord::Outcome::Done);
            // A fresh connection per query, so one broken connection spoils only its query.
            std::unique_ptr<WmiService> service;
            int32_t hr = platform_.wmi.Connect(service);
            if (hr < 0 || !service) fail(hr < 0 ? hr : wmi::kFailed);

            std::unique_ptr<WmiResultSet> found;
            hr = service->ExecQuery(item.Command, found);
            if (hr < 0 || !found) fail(hr < 0 ? hr : wmi::kFailed);

            if (item.WarningLevel != kNotExamined) {
                int32_t count = 0;
                hr = found->Count(count);
                if (hr < 0) fail(hr);
                record.count = count;
                record.warned = count >= item.WarningLevel;
                if (record.warned) platform_.messages.ShowOk(WarningText(item));
            }
            if (observer_) observer_->Reported(record);
        }
    } catch (...) {
        reports::ListFailed(utils, " Command:", observer_, wmiItems, index,
                            reports::CurrentError(utils.ExecutableName() + ".WMIRunner"));
    }
}
