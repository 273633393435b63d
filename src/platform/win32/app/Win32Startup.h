#pragma once
// What the program entry needs of Windows: the command line as the platform holds it, COM for
// the thread, message boxes.

#include <string>

#include "platform/MessageBox.h"

namespace win32 {

// GetCommandLineW, as UTF-8, program name included.
std::string ProcessCommandLine();

// COM, apartment-threaded, from the first code that needs it (NeedCom) to the end of this
// object's life (the whole program).
class ComApartment {
public:
    ComApartment() = default;
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

class Win32MessageBoxes final : public MessageBoxes {
public:
    void ShowOk(const std::string& text) override;
};

}  // namespace win32
