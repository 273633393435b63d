// The report stylesheet through the XML document objects of Windows, as Internet Explorer applies
// it on Export: MSXML 3 (the browser's) and MSXML 6 transform the shipped catalogue and the
// edge-case catalogues, and the page names every entry with its totals.

#include <windows.h>
#include <objbase.h>
#include <msxml2.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/XmlReader.h"
#include "platform/XmlDocument.h"

namespace {

class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
};
const auto* const kCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::wstring WinePath(const std::string& linuxPath) {
    std::wstring path = L"Z:" + Widen(linuxPath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// Text as the HTML output writes it inside an element.
std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'&') out += L"&amp;";
        else if (c == L'<') out += L"&lt;";
        else if (c == L'>') out += L"&gt;";
        else out += c;
    }
    return out;
}

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_) p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(const std::wstring& text) : b_(SysAllocString(text.c_str())) {}
    Bstr() = default;
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return b_; }
    BSTR* out() { return &b_; }
    std::wstring str() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

// Loads a file into a new document of the given MSXML version; false on failure.
bool Load(const wchar_t* progId, const std::wstring& path, ComPtr<IXMLDOMDocument>& document) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) return false;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                reinterpret_cast<void**>(document.out()))))
        return false;
    document->put_async(VARIANT_FALSE);
    Bstr file(path);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = file.get();
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return SUCCEEDED(document->load(source, &loaded)) && loaded == VARIANT_TRUE;
}

std::wstring Transform(const wchar_t* progId, const std::wstring& catalogue) {
    ComPtr<IXMLDOMDocument> xml;
    ComPtr<IXMLDOMDocument> xsl;
    EXPECT_TRUE(Load(progId, catalogue, xml)) << "catalogue";
    EXPECT_TRUE(Load(progId, WinePath(ORVIK_DATA_DIR "/OrvikOptimizations.xsl"), xsl))
        << "stylesheet";
    if (!xml.get() || !xsl.get()) return {};
    Bstr page;
    const HRESULT hr = xml->transformNode(xsl.get(), page.out());
    EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    return page.str();
}

struct Case {
    const char* catalogue;
    int entries;
    int enabled;
};

TEST(ReportThroughMsxml, EveryEntryAndTheTotalsAppearWithBothVersions) {
    auto factory = NewXmlDocumentFactory();
    const OptimizationList shipped =
        XmlReader(*factory, ORVIK_DATA_DIR).ReadXML(ORVIK_DATA_DIR "/OrvikOptimizations.xml");
    ASSERT_GE(shipped.size(), 60u);
    const int enabled = static_cast<int>(std::count_if(
        shipped.begin(), shipped.end(), [](const auto& item) { return item->Enabled; }));

    const std::vector<Case> cases = {
        {ORVIK_DATA_DIR "/OrvikOptimizations.xml", static_cast<int>(shipped.size()), enabled},
        {ORVIK_FIXTURES_DIR "/edge-cases.xml", 4, 2},
        {ORVIK_FIXTURES_DIR "/empty.xml", 0, 0}};
    const std::vector<std::pair<const wchar_t*, const char*>> versions = {
        {L"Msxml2.DOMDocument.3.0", " with MSXML 3"}, {L"Msxml2.DOMDocument.6.0", " with MSXML 6"}};
    for (const auto& [progId, version] : versions) {
        for (const auto& test : cases) {
            SCOPED_TRACE(std::string(test.catalogue) + version);
            const std::wstring page = Transform(progId, WinePath(test.catalogue));
            ASSERT_FALSE(page.empty());
            const auto shows = [&](const std::wstring& id, int count) {
                return page.find(L"id=\"" + id + L"\">" + std::to_wstring(count) + L"<") !=
                       std::wstring::npos;
            };
            EXPECT_TRUE(shows(L"total-count", test.entries));
            EXPECT_TRUE(shows(L"enabled-count", test.enabled));
            EXPECT_TRUE(shows(L"disabled-count", test.entries - test.enabled));
            size_t rows = 0;
            for (size_t at = page.find(L"<tr class=\"entry "); at != std::wstring::npos;
                 at = page.find(L"<tr class=\"entry ", at + 1))
                ++rows;
            EXPECT_EQ(rows, static_cast<size_t>(test.entries));
        }
        const std::wstring page =
            Transform(progId, WinePath(ORVIK_DATA_DIR "/OrvikOptimizations.xml"));
        for (const auto& item : shipped) {
            EXPECT_NE(page.find(L">" + Escaped(Widen(item->Name)) + L"<"), std::wstring::npos)
                << item->Name;
        }
        // The last Name element counts, and its text is escaped, not markup.
        const std::wstring edge = Transform(progId, WinePath(ORVIK_FIXTURES_DIR "/edge-cases.xml"));
        EXPECT_NE(edge.find(L">Fonts &amp; colours &lt;plain&gt;<"), std::wstring::npos);
        EXPECT_EQ(edge.find(L"First name that the second replaces"), std::wstring::npos);
    }
}

}  // namespace
