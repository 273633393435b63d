#pragma once
// The kinds of handle Windows hands out, each with how it is let go, for the one owner.

#include <windows.h>

#include "platform/Owned.h"

namespace win32 {

// Kernel objects. Both null and INVALID_HANDLE_VALUE mean "none", since the platform's calls
// return one or the other on failure.
struct KernelObject {
    using Type = HANDLE;
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

// Pens, brushes, fonts and bitmaps.
template <class T>
struct GdiKind {
    using Type = T;
    static bool Valid(T h) { return h != nullptr; }
    static void Close(T h) { DeleteObject(h); }
};

struct RegistryKey {
    using Type = HKEY;
    static bool Valid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};

// Memory the system allocated for the caller with LocalAlloc (FormatMessage's buffer,
// CommandLineToArgvW's array, a SID's or a security descriptor's text).
template <class T>
struct LocalKind {
    using Type = T;
    static bool Valid(T p) { return p != nullptr; }
    static void Close(T p) { LocalFree(p); }
};

// The screen's device context from GetDC(nullptr).
struct ScreenDcKind {
    using Type = HDC;
    static bool Valid(HDC h) { return h != nullptr; }
    static void Close(HDC h) { ReleaseDC(nullptr, h); }
};

using UniqueHandle = Owned<KernelObject>;
template <class T>
using LocalMemory = Owned<LocalKind<T>>;
using ScreenDc = Owned<ScreenDcKind>;
template <class T>
using GdiObject = Owned<GdiKind<T>>;
using UniqueKey = Owned<RegistryKey>;

}  // namespace win32
