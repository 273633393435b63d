#include "platform/win32/common/ComStart.h"

#include <windows.h>
#include <objbase.h>

namespace win32 {
namespace {

enum class Com { NotTried, Started, Failed };
thread_local Com state = Com::NotTried;

}  // namespace

bool NeedCom() {
    if (state == Com::NotTried) {
        // CoInitializeEx: Windows 2000; needs no privilege. S_FALSE (already started) counts as
        // started too and is ended alike; RPC_E_CHANGED_MODE leaves a usable apartment alone.
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        state = SUCCEEDED(hr) ? Com::Started : Com::Failed;
        if (hr == RPC_E_CHANGED_MODE) return true;
    }
    return state == Com::Started;
}

void EndCom() {
    if (state == Com::Started) CoUninitialize();
    state = Com::NotTried;
}

}  // namespace win32
