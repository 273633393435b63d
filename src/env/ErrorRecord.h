#pragma once
// The one error type the program raises: Number, Source, Description. Action runners catch it at
// their top and hand it to the log. A failure that the system reported also carries the system's
// own code and words (SystemCode, SystemText), which the log line leaves out and the reports show.

#include <cstdint>
#include <stdexcept>
#include <string>

class ErrorRecord : public std::runtime_error {
public:
    ErrorRecord(int32_t number, std::string source, std::string description)
        : std::runtime_error(description), Number(number), Source(std::move(source)),
          Description(std::move(description)) {}

    ErrorRecord(int32_t number, std::string source, std::string description, uint32_t systemCode,
                std::string systemText)
        : ErrorRecord(number, std::move(source), std::move(description)) {
        SystemCode = systemCode;
        SystemText = std::move(systemText);
    }

    int32_t Number;
    std::string Source;
    std::string Description;
    uint32_t SystemCode = 0;  // the Windows error code behind it; 0 when none
    std::string SystemText;
};
