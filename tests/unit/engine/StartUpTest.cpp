// Start-up: the argument text as Windows hands it over and the choice of run mode. The silent
// run itself is run by the whole program in the end-to-end tests.

#include <gtest/gtest.h>

#include "app/StartUp.h"

namespace {

TEST(StartUp, ArgumentTextFollowsTheProgramName) {
    EXPECT_EQ(ArgumentText("Orvik.exe -RUN"), "-RUN");
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Orvik\\Orvik.exe\" -RUN"), "-RUN");
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Orvik\\Orvik.exe\"-RUN"), "-RUN");
    EXPECT_EQ(ArgumentText("C:\\Orvik.exe \t  -run"), "-run");
    // The rest stays verbatim: inner and trailing blanks, quotes, a second argument.
    EXPECT_EQ(ArgumentText("Orvik.exe -RUN "), "-RUN ");
    EXPECT_EQ(ArgumentText("Orvik.exe -RUN  extra"), "-RUN  extra");
    EXPECT_EQ(ArgumentText("Orvik.exe \"-RUN\""), "\"-RUN\"");
    EXPECT_EQ(ArgumentText("Orvik.exe"), "");
    EXPECT_EQ(ArgumentText("\"C:\\Orvik.exe\""), "");
    EXPECT_EQ(ArgumentText("\"C:\\unclosed -RUN"), "");
    EXPECT_EQ(ArgumentText(""), "");
    // Only the closing quote ends a quoted name; control characters separate like blanks.
    EXPECT_EQ(ArgumentText("\"C:\\a\"b -RUN"), "b -RUN");
    EXPECT_EQ(ArgumentText("Orvik.exe\r\n-RUN"), "-RUN");
}

TEST(StartUp, OnlyTheWholeTextMinusRunInAnyCaseRunsSilently) {
    for (const char* run : {"-RUN", "-run", "-Run", "-rUn"}) {
        EXPECT_EQ(ChooseStart(run).mode, StartMode::SilentRun) << run;
    }
    for (const char* other : {"", "-RUN ", " -RUN", "/RUN", "-RUN extra", "RUN", "-RUNS",
                              "\"-RUN\"", "-EDIT", "-edit", "-EDIT "}) {
        EXPECT_EQ(ChooseStart(other).mode, StartMode::Editor) << "'" << other << "'";
    }
    EXPECT_TRUE(ChooseStart("-edit").editRequested);
    EXPECT_FALSE(ChooseStart("-EDIT ").editRequested);
    EXPECT_FALSE(ChooseStart("-RUN").editRequested);
}

}  // namespace
