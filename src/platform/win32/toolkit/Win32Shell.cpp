// The machine as the editor's Save and Export need it.

#include <windows.h>
#include <msxml2.h>
#include <shellapi.h>

#include <string>

#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/Handle.h"
#include "platform/win32/common/Process.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/toolkit/Win32Toolkit.h"
#include "platform/win32/xml/SafeDocument.h"

namespace win32 {
namespace {

// An MSXML 6 document loaded from a file with nothing resolved from outside it.
ComPtr<IXMLDOMDocument2> LoadDocument(const std::string& path, uint32_t& error) {
    HRESULT made = S_OK;
    ComPtr<IXMLDOMDocument2> doc = NewSafeDocument(made);
    if (!doc) {
        error = static_cast<uint32_t>(made);
        return {};
    }
    Variant source;
    source.Get().vt = VT_BSTR;
    source.Get().bstrVal = SysAllocString(Widen(path).c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(doc->load(source.Get(), &loaded)) || loaded != VARIANT_TRUE) {
        error = ERROR_INVALID_DATA;
        return {};
    }
    return doc;
}

uint32_t WriteWholeFile(const std::string& path, const std::string& bytes) {
    UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return GetLastError();
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) ||
        written != bytes.size()) {
        return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    }
    return 0;
}

class Win32Shell final : public Shell {
public:
    bool FileExists(const std::string& path) override {
        const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    uint32_t StartProcess(const std::string& commandLine) override {
        return win32::StartProcess(commandLine, false);
    }

    uint32_t OpenDocument(const std::string& path) override {
        const std::wstring file = Widen(path);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"open";
        info.lpFile = file.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&info)) return GetLastError() ? GetLastError() : ERROR_NO_ASSOCIATION;
        return 0;
    }

    uint32_t TransformToHtml(const std::string& xmlPath, const std::string& xslPath,
                             const std::string& htmlPath) override {
        uint32_t error = 0;
        ComPtr<IXMLDOMDocument2> xml = LoadDocument(xmlPath, error);
        if (!xml) return error;
        ComPtr<IXMLDOMDocument2> xsl = LoadDocument(xslPath, error);
        if (!xsl) return error;
        Bstr html;
        const HRESULT hr = xml->transformNode(xsl.Get(), html.Put());
        if (FAILED(hr)) return static_cast<uint32_t>(hr);
        // UTF-8 with a byte-order mark: browsers take that over any charset the output names.
        return WriteWholeFile(htmlPath, "\xEF\xBB\xBF" + Narrow(html.Text()));
    }

    std::string TempFolder() override {
        wchar_t buffer[MAX_PATH + 1] = {};
        DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
        while (length > 3 && buffer[length - 1] == L'\\') --length;
        return Narrow(buffer, length);
    }

    uint32_t ReplaceFile(const std::string& from, const std::string& to) override {
        const std::wstring source = Widen(from);
        {
            // The new contents reach the disk before the name points at them.
            UniqueHandle file(CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file.Valid()) return GetLastError();
            FlushFileBuffers(file.Get());
        }
        if (!MoveFileExW(source.c_str(), Widen(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return GetLastError();
        }
        return 0;
    }

    void RemoveFile(const std::string& path) override { DeleteFileW(Widen(path).c_str()); }

    uint32_t ProbeWrite(const std::string& path) override {
        const std::wstring file = Widen(path);
        UniqueHandle probe(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        return probe.Valid() ? 0 : GetLastError();
    }

    std::string ErrorText(uint32_t code) override {
        const std::string text = SystemErrorText(code);
        return text.empty() ? "Error " + std::to_string(code) + "." : text;
    }
};

}  // namespace

std::unique_ptr<Shell> CreateShell() { return std::make_unique<Win32Shell>(); }

}  // namespace win32
