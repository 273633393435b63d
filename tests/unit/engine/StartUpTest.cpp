// Start-up: the argument text as Windows hands it over and the choice of run mode.

#include <gtest/gtest.h>

#include "app/StartUp.h"

TEST(StartUp, ArgumentTextFollowsTheProgramNameAndOnlyMinusRunRunsSilently) {
    const std::pair<const char*, const char*> lines[] = {
        {"Orvik.exe -RUN", "-RUN"},
        {"\"C:\\Program Files\\Orvik\\Orvik.exe\" -RUN", "-RUN"},
        {"\"C:\\Program Files\\Orvik\\Orvik.exe\"-RUN", "-RUN"},
        {"C:\\Orvik.exe \t  -run", "-run"},
        // The rest stays verbatim: inner and trailing blanks, quotes, a second argument.
        {"Orvik.exe -RUN ", "-RUN "},
        {"Orvik.exe -RUN  extra", "-RUN  extra"},
        {"Orvik.exe \"-RUN\"", "\"-RUN\""},
        {"Orvik.exe", ""},
        {"\"C:\\unclosed -RUN", ""},
        // Only the closing quote ends a quoted name; control characters separate like blanks.
        {"\"C:\\a\"b -RUN", "b -RUN"},
        {"Orvik.exe\r\n-RUN", "-RUN"}};
    for (const auto& [line, arguments] : lines) EXPECT_EQ(ArgumentText(line), arguments) << line;

    for (const char* run : {"-RUN", "-run", "-rUn"}) {
        EXPECT_EQ(ChooseStart(run), StartMode::SilentRun) << run;
    }
    for (const char* other : {"", "-RUN ", " -RUN", "/RUN", "-RUN extra", "-RUNS", "-EDIT"}) {
        EXPECT_EQ(ChooseStart(other), StartMode::Editor) << "'" << other << "'";
    }
}
