#pragma once
// The XML services a reader suite reads with: this build's, or under Wine MSXML's reader when
// ORVIK_TEST_READER is "msxml", so that the suite runs once for each reader Windows may have.

#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/XmlDocument.h"
#ifdef _WIN32
#include "platform/win32/xml/MsXmlDocument.h"
#endif

namespace testsupport {

inline std::unique_ptr<XmlDocumentFactory> XmlServices() {
#ifdef _WIN32
    const char* reader = std::getenv("ORVIK_TEST_READER");
    if (reader && std::string_view(reader) == "msxml") {
        return std::make_unique<MsXmlDocumentFactory>(false);
    }
#endif
    return NewXmlDocumentFactory();
}

}  // namespace testsupport
