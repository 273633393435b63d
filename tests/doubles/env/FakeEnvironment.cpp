#include "FakeEnvironment.h"

namespace {
// A recognisable non-null token, so a test can see that Revert gets what Disable gave.
int redirectionToken;
}

void* FakeSystemInfo::DisableFsRedirection() {
    redirectionCalls.push_back("off");
    redirectionOff = true;
    return &redirectionToken;
}

void FakeSystemInfo::RevertFsRedirection(void* saved) {
    redirectionCalls.push_back(saved == &redirectionToken ? "on:saved" : "on:other");
    redirectionOff = false;
}

bool FakeFileSystem::Append(const std::string& path, const std::string& bytes) {
    files[path] += bytes;
    return true;
}

std::string FakeFileSystem::ToSystemCodePage(const std::string& utf8) {
    std::string result;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            result += static_cast<char>(byte);
        } else if ((byte & 0xC0) != 0x80) {
            result += '?';  // one per character: continuation bytes add nothing
        }
    }
    return result;
}
