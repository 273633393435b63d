#pragma once
// Profile hives loaded below HKEY_USERS (advapi32's RegLoadKey and RegUnLoadKey), what loading
// them needs, and the end of the program by Ctrl+C or a closed console, which must not leave a
// hive loaded. Names and paths are UTF-8; results are Windows error codes (0 success).

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class UserHives {
public:
    virtual ~UserHives() = default;
    // Enables the backup and restore privileges for this process; 1300 (ERROR_NOT_ALL_ASSIGNED)
    // when its account does not hold them.
    virtual int32_t EnablePrivileges() = 0;
    // Disables the two privileges again: processes started later inherit the token.
    virtual void DropPrivileges() = 0;
    // The folder new users' profiles are copied from (userenv's default profile folder); empty
    // and the error code when the system cannot say.
    virtual std::string DefaultProfileFolder(int32_t& error) = 0;
    // 0 when the file is there, else the Windows error code (2: there is none). Loading a
    // missing file would make an empty hive of that name.
    virtual int32_t FindFile(const std::string& file) = 0;
    // Waits before an unload is tried again (a program that has the hive open may let go).
    virtual void Pause(std::chrono::milliseconds time) = 0;
    // The hive file as HKEY_USERS\name.
    virtual int32_t Load(const std::string& name, const std::string& file) = 0;
    virtual int32_t Unload(const std::string& name) = 0;
    // Called once, on another thread, when Ctrl+C or Ctrl+Break is pressed or the console is
    // closed, before the program ends. An empty one calls nothing; setting one waits for a call
    // under way to finish.
    virtual void WhenInterrupted(std::function<void()> cleanup) = 0;
    // Text for an error code, in the user's words.
    virtual std::string ErrorText(int32_t code) = 0;
};
