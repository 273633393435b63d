#include "env/GlobalUtils.h"

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"

namespace {

constexpr uint8_t kWorkstationProductType = 1;
// Windows 10 and 11 Enterprise multi-session report the server product type like Windows Server.
constexpr uint32_t kProductServerRdsh = 0xAF;

// First builds of the Windows 10 kernel (10.0) releases.
constexpr uint32_t kWindows11Build = 22000;
constexpr uint32_t kServer2019Build = 17763;
constexpr uint32_t kServer2022Build = 20348;
constexpr uint32_t kServer2025Build = 26100;

int32_t Windows10Family(uint32_t build, bool server) {
    if (!server) return build < kWindows11Build ? codes::kWindows10 : codes::kWindows11;
    // A build between two releases (a preview) counts as the earlier release.
    if (build >= kServer2025Build) return codes::kWindowsServer2025;
    if (build >= kServer2022Build) return codes::kWindowsServer2022;
    if (build >= kServer2019Build) return codes::kWindowsServer2019;
    return codes::kWindowsServer2016;
}

}  // namespace

int32_t GlobalUtils::GetOSVersion() {
    const OsVersionInfo v = platform_.system.QueryVersion();
    // Domain controllers (2) are server editions too; 0 is a failed query.
    const bool server = v.productType > kWorkstationProductType && v.edition != kProductServerRdsh;
    if (v.major == 5) {
        if (v.minor == 1) return codes::kWindowsXP;
        if (v.minor == 2) return codes::kWindowsServer2003;
        return codes::kWindows2000;
    }
    if (v.major == 6) {
        switch (v.minor) {
            case 0: return server ? codes::kWindowsServer2008 : codes::kWindowsVista;
            case 1: return server ? codes::kWindowsServer2008R2 : codes::kWindows7;
            case 2: return server ? codes::kWindowsServer2012 : codes::kWindows8;
            case 3: return server ? codes::kWindowsServer2012R2 : codes::kWindows81;
            default: break;
        }
    }
    if (v.major == 10 && v.minor == 0) return Windows10Family(v.build, server);
    return codes::kWindows2000;
}

bool GlobalUtils::Is64bit() { return platform_.system.IsWow64Process(); }

void GlobalUtils::TurnOff64Redirect() {
    if (Is64bit()) SavedRedirection = platform_.system.DisableFsRedirection();
}

void GlobalUtils::TurnOn64Redirect() {
    if (Is64bit()) platform_.system.RevertFsRedirection(SavedRedirection);
}

std::string GlobalUtils::ExecutableFolder() {
    const std::string path = platform_.system.ExecutablePath();
    const size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) return {};
    std::string folder = path.substr(0, slash);
    // A drive root keeps its backslash, as the platform reports it ("C:\").
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    return folder;
}

std::string GlobalUtils::ExecutableName() {
    const std::string path = platform_.system.ExecutablePath();
    const size_t slash = path.find_last_of('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::string GlobalUtils::ErrorText(uint32_t code) { return platform_.system.ErrorText(code); }

void GlobalUtils::WriteLog(const std::string& message, const ErrorRecord& Err) {
    std::string path = ExecutableFolder();
    path += (!path.empty() && path.back() == '\\') ? "SarnetLog.txt" : "\\SarnetLog.txt";

    const std::string line = platform_.clock.ShortDate() + platform_.clock.TimeOfDay() + " Error " +
                             std::to_string(Err.Number) + ", Source = " + Err.Source + ": " +
                             Err.Description + "Trace: " + message;
    // The log is a plain text file in the system's 8-bit code page; a line that cannot be
    // written is lost without troubling the run.
    platform_.files.Append(path, platform_.files.ToSystemCodePage(line) + "\r\n");
}
