#pragma once
// The one error type the program raises: Number, Source, Description. Action runners catch it at
// their top and hand it to the log.

#include <cstdint>
#include <stdexcept>
#include <string>

class ErrorRecord : public std::runtime_error {
public:
    ErrorRecord(int32_t number, std::string source, std::string description)
        : std::runtime_error(description), Number(number), Source(std::move(source)),
          Description(std::move(description)) {}

    int32_t Number;
    std::string Source;
    std::string Description;
};
