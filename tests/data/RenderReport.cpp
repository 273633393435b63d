// Writes the report page that Export makes, with the product's own renderer (MSXML), so that the
// report check reads in a browser what users get:  orvik_render_report CATALOGUE STYLESHEET OUT

#include <objbase.h>

#include <cstdio>
#include <fstream>

#include "platform/win32/toolkit/Win32Toolkit.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s CATALOGUE STYLESHEET OUT.html\n", argv[0]);
        return 64;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    const RenderedReport report = win32::CreateReportRenderer()->RenderReport(argv[1], argv[2]);
    CoUninitialize();
    if (!report.Made()) {
        std::fprintf(stderr, "%s: %s\n", report.failedFile.c_str(), report.reason.c_str());
        return 2;
    }
    std::ofstream(argv[3], std::ios::binary) << report.html;
    return 0;
}
