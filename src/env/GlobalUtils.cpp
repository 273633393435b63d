#include "env/GlobalUtils.h"

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"

namespace {
constexpr uint8_t kServerProductType = 3;
}

int32_t GlobalUtils::GetOSVersion() {
    const OsVersionInfo v = platform_.system.QueryVersion();
    const bool server = v.productType == kServerProductType;
    if (v.major == 5) {
        if (v.minor == 1) return codes::kWindowsXP;
        if (v.minor == 2) return codes::kWindowsServer2003;
        return codes::kWindows2000;
    }
    if (v.major == 6) {
        switch (v.minor) {
            case 0: return server ? codes::kWindowsServer2008 : codes::kWindowsVista;
            // Server 2008 R2 has no code of its own. It is offered the Server 2008 entries: they
            // are written for the server product line (roles, services, server defaults), which
            // fits it better than the Windows 7 client entries built on the same kernel.
            case 1: return server ? codes::kWindowsServer2008 : codes::kWindows7;
            case 2: return server ? codes::kWindowsServer2012 : codes::kWindows8;
            default: break;
        }
    }
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
