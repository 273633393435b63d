// PolicyFolders held to one contract: the double natively, kernel32 under Wine.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"

#ifdef _WIN32
#include "platform/win32/policy/Win32PolicyFolders.h"
#else
#include "FakePolicyFolders.h"
#endif

namespace {

namespace fs = std::filesystem;

class PolicyFoldersContract : public ::testing::Test {
protected:
#ifdef _WIN32
    void SetUp() override {
        scratch_ = fs::temp_directory_path() / "orvik-policy-folders";
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
        root = testsupport::Utf8(scratch_);
    }
    void TearDown() override { fs::remove_all(scratch_); }
    void Put(const std::string& relative, const std::string& bytes) {
        const fs::path path = scratch_ / fs::path(relative).make_preferred();
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    win32::Win32PolicyFolders folders;
    fs::path scratch_;
#else
    void SetUp() override { root = "C:\\Scratch"; }
    void Put(const std::string& relative, const std::string& bytes) {
        std::string path = root + "\\" + relative;
        for (char& c : path) c = c == '/' ? '\\' : c;
        folders.files[path] = bytes;
    }
    FakePolicyFolders folders;
#endif
    std::string root;
};

TEST_F(PolicyFoldersContract, ListsTheFilesOfOneFolderWithTheSuffix) {
    Put("b.admx", "b");
    Put("A.ADMX", "a");
    Put("c.adml", "c");
    Put("notes.admx.txt", "");
    Put("en-US/b.adml", "");
    Put("sub.admx/inner.admx", "");
    const auto names = folders.FileNames(root, ".admx");
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (std::vector<std::string>{"A.ADMX", "b.admx"}));
    const auto language = folders.FileNames(root + "\\en-US\\", ".adml");
    ASSERT_TRUE(language);
    EXPECT_EQ(*language, std::vector<std::string>{"b.adml"});
    EXPECT_FALSE(folders.FileNames(root + "\\missing", ".admx"));
}

TEST_F(PolicyFoldersContract, ReadsAFileByteForByte) {
    const std::string bytes("\xEF\xBB\xBF<a>\r\n\0x</a>", 13);
    Put("en-US/x.adml", bytes);
    std::string why;
    EXPECT_EQ(folders.Read(root + "\\en-US\\x.adml", why), bytes);
    EXPECT_EQ(folders.Read(root + "\\EN-us\\X.ADML", why), bytes);  // names in any case
    EXPECT_FALSE(folders.Read(root + "\\de-DE\\x.adml", why));
    EXPECT_FALSE(why.empty());
}

TEST_F(PolicyFoldersContract, DefaultFolderAndLanguages) {
    const std::string folder = folders.DefaultFolder();
    const std::string end = "\\PolicyDefinitions";
    ASSERT_GT(folder.size(), end.size());
    EXPECT_EQ(folder.substr(folder.size() - end.size()), end);
    EXPECT_NE(folder.find(":\\"), std::string::npos);
    for (const std::string& language : folders.Languages()) {
        EXPECT_NE(language.find('-'), std::string::npos) << language;
    }
}

}  // namespace
