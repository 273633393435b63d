// OrvikCli.exe: validate, plan and apply the catalogue from a console or a script.

#include "app/RealPlatform.h"
#include "cli/OrvikCli.h"
#include "platform/win32/console/Win32Console.h"

int main() {
    // COM for WMI and MSXML, apartment-threaded, once for the whole program.
    win32::ComApartment com;
    RealPlatform platform;
    win32::Win32Console console;
    win32::Win32ProgramSearch programs;
    cli::CliPlatform cli{platform.xml, platform.engine(), programs, console};
    return cli::Main(win32::ProcessArguments(), cli);
}
