#include "platform/win32/wmi/Win32Wmi.h"

#include <windows.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <algorithm>
#include <cstdio>

#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/ComStart.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"

namespace win32 {

namespace {

// Calls made through the proxies impersonate the caller, as the scripting moniker does; an
// in-process object without a proxy refuses the blanket, which changes nothing.
void Impersonate(IUnknown* proxy) {
    CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

class Win32WmiResultSet final : public WmiResultSet {
public:
    Win32WmiResultSet(ComPtr<IEnumWbemClassObject> objects, std::chrono::milliseconds bound,
                      ULONG batch)
        : objects_(std::move(objects)), bound_(bound), batch_(batch) {}

    int32_t Count(int32_t& count) override {
        count = 0;
        // Next waits in short slices, so the bound holds however the service behaves.
        constexpr ULONG kSliceMs = 1000;
        const auto deadline = std::chrono::steady_clock::now() + bound_;
        ComBatch<IWbemClassObject, 64> batch;
        const ULONG asked = std::min<ULONG>(batch_, batch.Size());
        for (;;) {
            ULONG returned = 0;
            const HRESULT hr =
                objects_->Next(static_cast<LONG>(kSliceMs), asked, batch.Put(), &returned);
            if (FAILED(hr)) return hr;
            count += static_cast<int32_t>(returned);
            if (hr == WBEM_S_FALSE) return S_OK;  // the set is exhausted
            if (std::chrono::steady_clock::now() >= deadline) {
                count = 0;
                return wmi::kTimedOut;
            }
        }
    }

private:
    ComPtr<IEnumWbemClassObject> objects_;
    std::chrono::milliseconds bound_;
    ULONG batch_;
};

class Win32WmiService final : public WmiService {
public:
    Win32WmiService(ComPtr<IWbemServices> services, std::chrono::milliseconds bound, ULONG batch)
        : services_(std::move(services)), bound_(bound), batch_(batch) {}

    int32_t ExecQuery(const std::string& query, std::unique_ptr<WmiResultSet>& result) override {
        result.reset();
        Bstr language(L"WQL");
        Bstr text(Widen(query));
        ComPtr<IEnumWbemClassObject> objects;
        // Semisynchronous and forward-only, as the scripting interface runs it by default: the
        // call returns at once and the objects arrive while they are counted.
        const HRESULT hr = services_->ExecQuery(
            language.Get(), text.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
            nullptr, objects.Put());
        if (FAILED(hr)) return hr;
        if (!objects) return static_cast<int32_t>(WBEM_E_FAILED);
        Impersonate(objects.Get());
        result = std::make_unique<Win32WmiResultSet>(std::move(objects), bound_, batch_);
        return S_OK;
    }

private:
    ComPtr<IWbemServices> services_;
    std::chrono::milliseconds bound_;
    ULONG batch_;
};

}  // namespace

int32_t Win32WmiConnector::Connect(std::unique_ptr<WmiService>& service) {
    service.reset();
    ComPtr<IWbemLocator> locator;
    NeedCom();
    HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWbemLocator, reinterpret_cast<void**>(locator.Put()));
    if (FAILED(hr)) return hr;
    Bstr space(L"ROOT\\CIMV2");
    ComPtr<IWbemServices> services;
    // The connection itself is bounded too: the service gives up after its maximum wait.
    hr = locator->ConnectServer(space.Get(), nullptr, nullptr, nullptr,
                                WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr, services.Put());
    if (FAILED(hr)) return hr;
    if (!services) return static_cast<int32_t>(WBEM_E_FAILED);
    Impersonate(services.Get());
    service = std::make_unique<Win32WmiService>(std::move(services), queryBound_, batch_);
    return S_OK;
}

std::string Win32WmiConnector::ErrorText(int32_t hresult) {
    std::string text;
    ComPtr<IWbemStatusCodeText> status;
    if (SUCCEEDED(CoCreateInstance(CLSID_WbemStatusCodeText, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWbemStatusCodeText,
                                   reinterpret_cast<void**>(status.Put())))) {
        Bstr message;
        if (SUCCEEDED(status->GetErrorCodeText(hresult, 0, 0, message.Put()))) {
            text = Narrow(message.Text());
        }
    }
    if (text.empty()) text = SystemErrorText(static_cast<uint32_t>(hresult));
    if (text.empty() && hresult == wmi::kTimedOut) text = "The query did not finish in time.";
    if (text.empty()) {
        char code[32];
        std::snprintf(code, sizeof(code), "WMI error 0x%08lX",
                      static_cast<unsigned long>(static_cast<uint32_t>(hresult)));
        text = code;
    }
    TrimMessageEnd(text);
    return text;
}

}  // namespace win32
