// OrvikCli.exe: validate, plan, apply and undo the catalogue from a console or a script, and make
// its report page.

#include "app/RealPlatform.h"
#include "cli/OrvikCli.h"
#include "platform/win32/console/Win32Console.h"
#include "platform/win32/policy/Win32PolicyFolders.h"
#include "platform/win32/registry/Win32UserHives.h"
#include "platform/win32/report/Win32ReportRenderer.h"
#include "platform/win32/security/LibrarySearch.h"

int main() {
    // First of all: no library that COM, MSXML or WMI load later comes from this folder.
    win32::RestrictLibrarySearch();
    // COM for WMI and MSXML, apartment-threaded, from its first use to the end of the program.
    win32::ComApartment com;
    RealPlatform platform;
    win32::Win32Console console;
    win32::Win32ProgramSearch programs;
    win32::Win32ConsoleFiles files;
    win32::Win32UserHives hives;
    win32::Win32PolicyFolders policies;
    const std::unique_ptr<ReportRenderer> reports = win32::CreateReportRenderer();
    cli::CliPlatform cli{
        platform.xml, platform.engine(), programs, console,           files,
        hives,        *reports,          policies, platform.security, platform.lock};
    return cli::Main(win32::ProcessArguments(), cli);
}
