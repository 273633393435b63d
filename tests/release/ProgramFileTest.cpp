// The built programs as an administrator checks them before use, read as files with the calls
// Explorer makes: the version resource and the icon at every size. The x86 program is checked
// when its build lies beside this one (scripts/build makes both).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Harness.h"
#include "OrvikVersion.h"
#include "platform/win32/common/WideText.h"
#include "ui/Pictures.h"

namespace {

struct Program {
    const char* path;
    const char* fileName;
    const char* description;
    const char* test;
};

class ProgramFile : public ::testing::TestWithParam<Program> {
protected:
    void SetUp() override {
        path_ = harness::FromBuild(GetParam().path).wstring();
        if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) {
            GTEST_SKIP() << GetParam().path << " has not been built";
        }
    }
    std::wstring path_;
};

TEST_P(ProgramFile, VersionResourceCarriesTheProjectVersion) {
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &unused);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(ORVIK_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(minor, major));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, patch));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

    // The texts, in the language the resource names as its own.
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    wchar_t block[40];
    swprintf(block, 40, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    const auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring key = block + std::wstring(name);
        if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars)) {
            return std::string("(missing)");
        }
        return win32::Narrow(value);
    };
    EXPECT_EQ(text(L"FileVersion"), ORVIK_VERSION);
    EXPECT_EQ(text(L"ProductVersion"), ORVIK_VERSION);
    EXPECT_EQ(text(L"ProductName"), "Orvik Optimizer");
    EXPECT_EQ(text(L"FileDescription"), GetParam().description);
    EXPECT_EQ(text(L"OriginalFilename"), GetParam().fileName);
    EXPECT_EQ(text(L"LegalCopyright").rfind("Copyright (C) ", 0), 0u) << text(L"LegalCopyright");
}

TEST_P(ProgramFile, IconHasEverySizeOnATransparentGround) {
    HMODULE file = LoadLibraryExW(path_.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(file, nullptr);
    const auto resource = [&](int id, LPCWSTR type) {
        HRSRC found = FindResourceW(file, MAKEINTRESOURCEW(id), type);
        return std::pair(
            found ? static_cast<BYTE*>(LockResource(LoadResource(file, found))) : nullptr,
            found ? SizeofResource(file, found) : 0);
    };
    // The first icon group is the one Explorer shows; it picks the image of each size from it.
    BYTE* const group = resource(1, RT_GROUP_ICON).first;
    ASSERT_NE(group, nullptr);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const int id = LookupIconIdFromDirectoryEx(group, TRUE, size, size, LR_DEFAULTCOLOR);
        const auto [image, imageBytes] = resource(id, RT_ICON);
        ASSERT_NE(image, nullptr);
        HICON icon = CreateIconFromResourceEx(image, imageBytes, TRUE, 0x00030000, 0, 0, 0);
        ICONINFO parts{};
        ASSERT_TRUE(icon && GetIconInfo(icon, &parts));
        BITMAPINFO header{};
        header.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<RGBQUAD> pixels(size * size);
        HDC screen = GetDC(nullptr);
        BITMAP bitmap{};
        GetObjectW(parts.hbmColor, sizeof(bitmap), &bitmap);
        const int rows =
            GetDIBits(screen, parts.hbmColor, 0, size, pixels.data(), &header, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        DeleteObject(parts.hbmColor);
        DeleteObject(parts.hbmMask);
        DestroyIcon(icon);
        // An image of another size stands in when the group lacks this one.
        ASSERT_EQ(bitmap.bmWidth, size);
        ASSERT_EQ(rows, size);
        // Clear at the corner, the accent colour between the square's corner and the gauge.
        EXPECT_EQ(pixels[0].rgbReserved, 0);
        const RGBQUAD inside = pixels[size / 4 * size + size / 4];
        EXPECT_EQ(
            (std::vector<int>{inside.rgbRed, inside.rgbGreen, inside.rgbBlue, inside.rgbReserved}),
            (std::vector<int>{pictures::kAccent.r, pictures::kAccent.g, pictures::kAccent.b, 255}));
    }
    FreeLibrary(file);
}

INSTANTIATE_TEST_SUITE_P(
    Builds, ProgramFile,
    ::testing::Values(
        Program{ORVIK_EXE, "Orvik.exe", "Orvik Optimizer", "Orvik_x64"},
        Program{ORVIK_X86_EXE, "Orvik.exe", "Orvik Optimizer", "Orvik_x86"},
        Program{ORVIK_CLI_EXE, "OrvikCli.exe", "Orvik Optimizer console", "OrvikCli_x64"},
        Program{ORVIK_CLI_X86_EXE, "OrvikCli.exe", "Orvik Optimizer console", "OrvikCli_x86"}),
    [](const auto& info) { return std::string(info.param.test); });

}  // namespace
