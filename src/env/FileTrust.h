#pragma once
// Whether only administrators control a file: the catalogue an elevated run obeys, or a folder
// whose files it trusts. Decided on the owner and access lists the platform reports, so that the
// decision itself is the same on every side.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileSecurity.h"

namespace trust {

// File and folder rights, as Windows numbers them.
inline constexpr uint32_t kWriteData = 0x2;   // a folder: add a file
inline constexpr uint32_t kAppendData = 0x4;  // a folder: add a subfolder
inline constexpr uint32_t kDeleteChild = 0x40;
inline constexpr uint32_t kDelete = 0x10000;
inline constexpr uint32_t kWriteDac = 0x40000;
inline constexpr uint32_t kWriteOwner = 0x80000;

// What lets a principal change, replace or rename a file itself.
inline constexpr uint32_t kChangeFile =
    kWriteData | kAppendData | kWriteDac | kWriteOwner | kDelete;
// What lets a principal replace or rename a file in a folder (adding files does not).
inline constexpr uint32_t kReplaceInFolder = kDeleteChild | kWriteDac | kWriteOwner;
// What lets a principal rename a folder above the file, or let others do so.
inline constexpr uint32_t kReplaceFolder = kReplaceInFolder | kDelete;

// Generic rights as the file system maps them to specific ones.
uint32_t MapGeneric(uint32_t mask);

// A principal that may use some of the rights asked about.
struct Grant {
    std::string sid;
    std::string name;
    uint32_t rights = 0;  // those of the rights asked about that it has
};

// The principals other than SYSTEM, Administrators, TrustedInstaller and an administrator owner
// that may use any of rights on the object, in the order of its access list (the owner's own
// right to change the permissions last). Entries are taken in order, a deny before an allow
// taking the right away from that principal (a deny for Everyone from all); entries for
// children only (inherit-only, CREATOR OWNER) do not count.
std::vector<Grant> UntrustedGrants(const ObjectSecurity& object, uint32_t rights,
                                   const std::function<bool(const std::string&)>& isAdministrator);

// The folder a path is in ("C:\\a" for "C:\\a\\b", "C:\\" for "C:\\a"); empty at a root.
std::string ParentFolder(const std::string& path);

struct Verdict {
    enum class State {
        Protected,     // only administrators may change, replace or rename it
        NotProtected,  // reason names the object and the principal
        Missing,       // there is no such file
        Unknown,       // its security cannot be read; reason says why
    };
    State state = State::Unknown;
    std::string reason;
    // Folders above that others may rename (warnings, never a refusal).
    std::vector<std::string> warnings;
};

// The judgement on a file as an elevated run must make it before reading it: the file itself,
// the folder it is in, and (warnings only) the folders above.
Verdict JudgeFile(FileSecurity& security, const std::string& path);

// The folder a file is or will be in, as JudgeFile judges it: nobody else may replace or rename
// the files in it (adding files is no reason to refuse), with the folders above as warnings.
Verdict JudgeFolderOf(FileSecurity& security, const std::string& path);

// The judgement on a folder whose files are trusted: nobody else may add, replace or rename
// anything in it (add-file counts too, unlike for the catalogue's folder).
Verdict JudgeFolder(FileSecurity& security, const std::string& path);

// The catalogue as a program judges it before reading it.
struct CatalogueTrust {
    bool elevated = false;
    Verdict verdict;
    // An elevated program refuses a catalogue that others may change, or whose security it
    // cannot read.
    bool Refused() const {
        return elevated && (verdict.state == Verdict::State::NotProtected ||
                            verdict.state == Verdict::State::Unknown);
    }
    // An elevated program reads only a catalogue found protected: one that is missing now could
    // be put there by anyone who may add files to its folder before it is read.
    bool MayRead() const { return !elevated || verdict.state == Verdict::State::Protected; }
};

CatalogueTrust CheckCatalogue(FileSecurity& security, const std::string& path);

// A folder for files an elevated program trusts later (journals): made for administrators
// only, or judged as it is when it exists already.
Verdict PrepareAdministratorsFolder(FileSecurity& security, const std::string& path);

}  // namespace trust
