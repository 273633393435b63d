// The generated PolicyDefinitions folder is what the benchmark claims: Windows 11's size, read
// whole by the policy reader, every text found.

#include <gtest/gtest.h>

#include "FakePolicyFolders.h"
#include "bench/common/PolicyGenerator.h"
#include "platform/XmlDocument.h"
#include "policy/PolicyCheck.h"

namespace {

TEST(PolicyGenerator, AFolderOfWindows11sSizeThatReadsWhole) {
    FakePolicyFolders folders;
    size_t admx = 0;
    size_t adml = 0;
    for (const auto& [name, bytes] : bench::MakePolicyDefinitions()) {
        folders.files["C:\\Defs\\" + name] = bytes;
        (name.find(".admx") != std::string::npos ? admx : adml) += bytes.size();
    }
    EXPECT_EQ(folders.files.size(), 460u);
    EXPECT_GT(admx, 3'000'000u);
    EXPECT_LT(admx, 8'000'000u);
    EXPECT_GT(adml, 6'000'000u);
    EXPECT_LT(adml, 16'000'000u);

    const std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    policy::PolicyLibrary library(folders, *xml);
    ASSERT_TRUE(library.Load("C:\\Defs"));
    const size_t policies = library.Read().policies.size();
    EXPECT_GT(policies, 4000u);
    EXPECT_LT(policies, 6000u);
    for (size_t i = 0; i < policies; i += 97) {
        EXPECT_EQ(library.DisplayName(i), "Configure " + library.Read().policies[i].name);
        EXPECT_EQ(library.SupportedOn(i), "At least Windows 7");
    }
    EXPECT_TRUE(library.Problems().empty());
    const RegistryItem value(
        0, "HKEY_LOCAL_MACHINE\\Software\\Policies\\Microsoft\\Windows\\Component2",
        "Component2_Policy0Value", "1");
    const std::optional<size_t> found = policy::CheckValue(value, library).policy;
    ASSERT_TRUE(found);
    EXPECT_EQ(library.Read().policies[*found].name, "Component2_Policy0");
}

}  // namespace
