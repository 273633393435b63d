#pragma once
// The catalogue as a report: the catalogue file through the report stylesheet into one HTML page
// that a browser shows as it is, without script, network or any other file. The editor's Export
// opens it; the console program writes it for a pipeline to keep. Paths and text are UTF-8.

#include <string>

struct RenderedReport {
    std::string html;  // the whole page, UTF-8
    // Empty when the page was made; else the file that could not be used (the catalogue or the
    // stylesheet) and why, in words for the user.
    std::string failedFile;
    std::string reason;
    bool Made() const { return failedFile.empty(); }
};

class ReportRenderer {
public:
    virtual ~ReportRenderer() = default;
    // Only reads the two files. The page's footer names this program's version.
    virtual RenderedReport RenderReport(const std::string& cataloguePath,
                                        const std::string& stylesheetPath) = 0;
};
