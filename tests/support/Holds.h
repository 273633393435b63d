#pragma once
// Whether a program's text holds a part; on failure, both.

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

inline ::testing::AssertionResult Holds(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

}  // namespace testsupport
