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

}  // namespace reports
