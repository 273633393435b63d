#include "platform/win32/security/Win32FileSecurity.h"

#include <windows.h>
#include <aclapi.h>
#include <lm.h>
#include <sddl.h>

#include <memory>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/Token.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/security/LibrarySearch.h"

namespace win32 {
namespace {

constexpr const char* kAdministrators = "S-1-5-32-544";
// Full control for SYSTEM and Administrators and nobody else, nothing inherited from above (P):
// a folder passes its entries on to what is made inside (OICI); a file has the same entries.
constexpr const wchar_t* kAdministratorsFolder = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr const wchar_t* kAdministratorsFile = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";

std::string SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return "";
    const LocalMemory<wchar_t*> owned(text);
    return Narrow(std::wstring(text));
}

// DOMAIN\name, or the name alone for accounts without a domain (Everyone). Asked of this
// machine only (LookupAccountSidLocal, Windows 7 and later): a domain account stays its SID
// rather than have the run ask a domain controller.
std::string AccountName(PSID sid) {
    using LookupFn = BOOL(WINAPI*)(PSID, LPWSTR, LPDWORD, LPWSTR, LPDWORD, PSID_NAME_USE);
    static const auto lookup = reinterpret_cast<LookupFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "LookupAccountSidLocalW")));
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    SID_NAME_USE use;
    if (lookup == nullptr || !lookup(sid, name, &nameLength, domain, &domainLength, &use)) {
        return SidText(sid);
    }
    const std::wstring account =
        domainLength > 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name);
    return Narrow(account);
}

// A builtin group's name, which this machine knows itself (no domain controller is asked):
// LookupAccountSid serves where LookupAccountSidLocal (Windows 7 and later) is missing.
std::wstring BuiltinName(PSID sid) {
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) {
        return L"";
    }
    return name;
}

std::string TokenUserSid() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return "";
    const UniqueHandle token(raw);
    alignas(TOKEN_USER) BYTE buffer[256];
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size)) return "";
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

bool TokenIsAdministrator() {
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
           CheckTokenMembership(nullptr, administrators, &member) && member;
}

// The direct members of the local Administrators group (netapi32, loaded from the system
// folder when first needed); domain groups among them are not looked into.
bool IsDirectAdministrator(const std::string& sid) {
    using MembersFn = NET_API_STATUS(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, LPBYTE*, DWORD, LPDWORD,
                                              LPDWORD, PDWORD_PTR);
    using FreeFn = NET_API_STATUS(WINAPI*)(LPVOID);
    const auto netapi = static_cast<HMODULE>(LoadSystemLibrary(L"netapi32.dll"));
    if (netapi == nullptr) return false;
    const auto members = reinterpret_cast<MembersFn>(
        reinterpret_cast<void*>(GetProcAddress(netapi, "NetLocalGroupGetMembers")));
    const auto release = reinterpret_cast<FreeFn>(
        reinterpret_cast<void*>(GetProcAddress(netapi, "NetApiBufferFree")));
    PSID group = nullptr;
    if (members == nullptr || release == nullptr ||
        !ConvertStringSidToSidW(Widen(kAdministrators).c_str(), &group)) {
        return false;
    }
    const LocalMemory<void*> ownedGroup(group);
    const std::wstring groupName = BuiltinName(group);  // localised: "Administratoren"
    LPBYTE buffer = nullptr;
    DWORD read = 0;
    DWORD total = 0;
    bool found = false;
    if (members(nullptr, groupName.c_str(), 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total,
                nullptr) == NERR_Success) {
        const auto* list = reinterpret_cast<LOCALGROUP_MEMBERS_INFO_0*>(buffer);
        for (DWORD i = 0; i < read && !found; ++i) found = SidText(list[i].lgrmi0_sid) == sid;
    }
    if (buffer != nullptr) release(buffer);
    return found;
}

void ReadEntries(PACL dacl, ObjectSecurity& security) {
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) continue;
        // Conditional denies may not apply: only unconditional ones are counted.
        const bool allow = header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
                           header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
        if (!allow && header->AceType != ACCESS_DENIED_ACE_TYPE) continue;
        // The allowed, denied and callback entries share this layout.
        const auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        const PSID sid = const_cast<DWORD*>(&ace->SidStart);
        security.entries.push_back({SidText(sid), AccountName(sid), ace->Mask, allow,
                                    (header->AceFlags & INHERIT_ONLY_ACE) != 0});
    }
}

}  // namespace

bool Win32FileSecurity::IsElevated() { return ProcessIsElevated(); }

uint32_t Win32FileSecurity::Query(const std::string& path, ObjectSecurity& security) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetNamedSecurityInfoW(
        Widen(path).c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        &owner, nullptr, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return error;
    const LocalMemory<void*> owned(descriptor);
    security = {};
    if (owner != nullptr) {
        security.ownerSid = SidText(owner);
        security.ownerName = AccountName(owner);
    }
    security.nullDacl = dacl == nullptr;
    if (dacl != nullptr) ReadEntries(dacl, security);
    return 0;
}

bool Win32FileSecurity::IsAdministrator(const std::string& sid) {
    if (sid == "S-1-5-18" || sid == kAdministrators) return true;
    // The account this program runs as: its token says whether it is an administrator.
    if (sid == TokenUserSid() && (TokenIsAdministrator() || IsElevated())) return true;
    return IsDirectAdministrator(sid);
}

uint32_t Win32FileSecurity::MakeAdministratorsFolder(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            kAdministratorsFolder, SDDL_REVISION_1, &descriptor, nullptr)) {
        return GetLastError();
    }
    const LocalMemory<void*> owned(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    return CreateDirectoryW(Widen(path).c_str(), &attributes) ? 0 : GetLastError();
}

uint32_t Win32FileSecurity::ProtectFile(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsFile, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return GetLastError();
    }
    const LocalMemory<void*> owned(descriptor);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) return GetLastError();
    std::wstring wide = Widen(path);
    return SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, dacl, nullptr);
}

std::string Win32FileSecurity::ErrorText(uint32_t code) { return SystemErrorText(code); }

// GetFullPathNameW (Windows XP) only works on the text with the process's current folder: no
// file is opened and no right is needed, so it answers the same elevated, as SYSTEM or not.
std::string Win32FileSecurity::FullPath(const std::string& path) {
    const std::wstring wide = Widen(path);
    std::wstring full(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return path;
        if (length < full.size()) return Narrow(full.data(), length);
        full.assign(length, L'\0');  // the length asked for counts its NUL
    }
    return path;
}

}  // namespace win32
