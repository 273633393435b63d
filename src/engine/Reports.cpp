#include "engine/Reports.h"

#include <exception>

namespace reports {

ErrorRecord CurrentError(const std::string& source) {
    try {
        throw;
    } catch (const ErrorRecord& failure) {
        return failure;
    } catch (const std::exception& failure) {
        return ErrorRecord(0, source, failure.what());
    } catch (...) {
        return ErrorRecord(0, source, "Unknown failure");
    }
}

namespace {

std::string Flattened(const std::string& text) {
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

}  // namespace

std::string LogTail(const std::optional<CommandOutput>& output) {
    if (!output) return {};
    const std::string standard = Flattened(output->standard);
    const std::string errors = Flattened(output->errors);
    return (standard.empty() ? "" : " Output: " + standard) +
           (errors.empty() ? "" : " Errors: " + errors);
}

}  // namespace reports
