#include "platform/win32/wmi/Win32Wmi.h"

#include <windows.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <cstdio>

#include "platform/win32/common/WideText.h"
#include "platform/win32/process/Win32ProcessLauncher.h"

namespace win32 {

namespace {

// Owns one COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p_) p_->Release();
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** put() { return &p_; }

private:
    T* p_ = nullptr;
};

// Owns one BSTR.
class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }
    BSTR get() const { return b_; }
    BSTR* put() { return &b_; }

private:
    BSTR b_ = nullptr;
};

// Calls made through the proxies impersonate the caller, as the scripting moniker does; an
// in-process object without a proxy refuses the blanket, which changes nothing.
void Impersonate(IUnknown* proxy) {
    CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

class Win32WmiResultSet final : public WmiResultSet {
public:
    Win32WmiResultSet(IEnumWbemClassObject* objects, std::chrono::milliseconds bound,
                      ULONG batch)
        : objects_(objects), bound_(bound), batch_(batch) {}
    ~Win32WmiResultSet() override { objects_->Release(); }

    int32_t Count(int32_t& count) override {
        count = 0;
        // Next waits in short slices, so the bound holds however the service behaves.
        constexpr ULONG kSliceMs = 1000;
        constexpr ULONG kMaxBatch = 64;
        const auto deadline = std::chrono::steady_clock::now() + bound_;
        for (;;) {
            IWbemClassObject* batch[kMaxBatch] = {};
            ULONG returned = 0;
            const HRESULT hr =
                objects_->Next(static_cast<LONG>(kSliceMs), batch_, batch, &returned);
            for (ULONG i = 0; i < returned && i < batch_; ++i) {
                if (batch[i]) batch[i]->Release();
            }
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
    IEnumWbemClassObject* objects_;
    std::chrono::milliseconds bound_;
    ULONG batch_;
};

class Win32WmiService final : public WmiService {
public:
    Win32WmiService(IWbemServices* services, std::chrono::milliseconds bound, ULONG batch)
        : services_(services), bound_(bound), batch_(batch) {}
    ~Win32WmiService() override { services_->Release(); }

    int32_t ExecQuery(const std::string& query, std::unique_ptr<WmiResultSet>& result) override {
        result.reset();
        Bstr language(L"WQL");
        Bstr text(Widen(query));
        IEnumWbemClassObject* objects = nullptr;
        // Semisynchronous and forward-only, as the scripting interface runs it by default: the
        // call returns at once and the objects arrive while they are counted.
        const HRESULT hr =
            services_->ExecQuery(language.get(), text.get(),
                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                 &objects);
        if (FAILED(hr)) {
            if (objects) objects->Release();
            return hr;
        }
        if (!objects) return static_cast<int32_t>(0x80041001u);  // WBEM_E_FAILED
        Impersonate(objects);
        result = std::make_unique<Win32WmiResultSet>(objects, bound_, batch_);
        return S_OK;
    }

private:
    IWbemServices* services_;
    std::chrono::milliseconds bound_;
    ULONG batch_;
};

}  // namespace

int32_t Win32WmiConnector::Connect(std::unique_ptr<WmiService>& service) {
    service.reset();
    ComPtr<IWbemLocator> locator;
    HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWbemLocator, reinterpret_cast<void**>(locator.put()));
    if (FAILED(hr)) return hr;
    Bstr space(L"ROOT\\CIMV2");
    IWbemServices* services = nullptr;
    // The connection itself is bounded too: the service gives up after its maximum wait.
    hr = locator->ConnectServer(space.get(), nullptr, nullptr, nullptr,
                                WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr, &services);
    if (FAILED(hr)) {
        if (services) services->Release();
        return hr;
    }
    if (!services) return static_cast<int32_t>(0x80041001u);  // WBEM_E_FAILED
    Impersonate(services);
    service = std::make_unique<Win32WmiService>(services, queryBound_, batch_);
    return S_OK;
}

std::string Win32WmiConnector::ErrorText(int32_t hresult) {
    std::string text;
    ComPtr<IWbemStatusCodeText> status;
    if (SUCCEEDED(CoCreateInstance(CLSID_WbemStatusCodeText, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWbemStatusCodeText,
                                   reinterpret_cast<void**>(status.put())))) {
        Bstr message;
        if (SUCCEEDED(status->GetErrorCodeText(hresult, 0, 0, message.put())) && message.get()) {
            text = Narrow(message.get(), SysStringLen(message.get()));
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
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace win32
