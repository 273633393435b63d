// The confirmation window and the splash.

#include <gtest/gtest.h>

#include "RecordingToolkit.h"
#include "ui/frmSplash.h"
#include "ui/frmWarning.h"

TEST(frmWarningTest, OnlyYesAnswersYesAndEveryShowStartsFromNo) {
    RecordingToolkit toolkit;
    frmWarning warning(toolkit);
    std::string clicked;
    toolkit.onModal = [&](FakeForm& f) {
        EXPECT_FALSE(warning.Response);  // cleared by loading
        EXPECT_TRUE(f.modal);
        if (!clicked.empty()) f.label(clicked).UserClick();
    };
    clicked = "Label3";
    warning.Show();
    EXPECT_TRUE(warning.Response);
    EXPECT_TRUE(toolkit.form("frmWarning").closed);

    clicked = "";  // the close box
    warning.Show();
    EXPECT_FALSE(warning.Response);

    clicked = "Label3";
    warning.Show();
    clicked = "Label4";
    warning.Show();
    EXPECT_FALSE(warning.Response);
    // The rest of the window does not answer.
    toolkit.onModal = [](FakeForm& f) {
        f.label("Label1").UserClick();
        f.label("Label2").UserClick();
        f.picture("Image1").UserClick();
        EXPECT_FALSE(f.closed);
    };
    warning.Show();
    EXPECT_FALSE(warning.Response);
}

TEST(frmWarningTest, TextsAreThoseOfTheProduct) {
    RecordingToolkit toolkit;
    frmWarning warning(toolkit);
    toolkit.onModal = [](FakeForm& f) {
        EXPECT_EQ(f.layout.caption, "Warning!");
        EXPECT_EQ(f.label("Label1").Caption(),
                  "Continuing will make significant changes to this system that cannot be easily "
                  "undone. Please test if these changes have the desired effect before using "
                  "these in production. Use at your own risk.");
        EXPECT_EQ(f.label("Label2").Caption(), "Are you sure you want to continue?");
        EXPECT_EQ(f.label("Label3").Caption(), "Yes");
        EXPECT_EQ(f.label("Label4").Caption(), "No");
        EXPECT_LT(f.label("Label3").layout.box.x, f.label("Label4").layout.box.x);
        EXPECT_TRUE(f.label("Label3").layout.actsAsButton);
        EXPECT_TRUE(f.label("Label4").layout.firstFocus);  // Enter alone answers No
        EXPECT_FALSE(f.label("Label3").layout.firstFocus);
    };
    warning.Show();
}

namespace {

struct SplashRun {
    RecordingToolkit toolkit;
    int silentRuns = 0;
    int editors = 0;
    std::unique_ptr<frmSplash> splash;

    explicit SplashRun(const std::string& arguments) {
        splash = std::make_unique<frmSplash>(
            toolkit, [this] { ++silentRuns; },
            [this] {
                ++editors;
                toolkit.log.push_back("editor");
            });
        splash->Form_Load(arguments);
    }
};

}  // namespace

TEST(frmSplashTest, RunInAnyLetterCaseRunsSilentlyAndEndsWithoutAWindow) {
    for (const char* arguments : {"-RUN", "-run", "-Run"}) {
        SplashRun run(arguments);
        EXPECT_EQ(run.silentRuns, 1) << arguments;
        EXPECT_TRUE(run.toolkit.ended) << arguments;
        EXPECT_FALSE(run.toolkit.HasForm("frmSplash")) << arguments;
        EXPECT_EQ(run.editors, 0);
    }
}

TEST(frmSplashTest, AnyOtherArgumentTextShowsTheSplashAndThenTheEditor) {
    for (const char* arguments : {"", "-RUN ", " -RUN", "-RUN X", "/RUN", "-EDIT", "-edit", "x"}) {
        SplashRun run(arguments);
        EXPECT_EQ(run.silentRuns, 0) << arguments;
        EXPECT_FALSE(run.toolkit.ended) << arguments;
        EXPECT_EQ(run.splash->EditMode, std::string(arguments) == "-EDIT" ||
                                             std::string(arguments) == "-edit")
            << arguments;
        FakeForm& form = run.toolkit.form("frmSplash");
        EXPECT_TRUE(form.Visible());
        FakeTimer& timer = form.timer("Timer1");
        EXPECT_EQ(timer.interval, 2000);
        EXPECT_EQ(run.editors, 0);

        timer.Elapse();
        EXPECT_EQ(run.editors, 1);
        EXPECT_TRUE(form.closed);
        // The editor is open before the splash goes, so the program never has no window.
        EXPECT_EQ(run.toolkit.log, (std::vector<std::string>{"show frmSplash", "editor",
                                                             "unload frmSplash"}));
        timer.Elapse();
        EXPECT_EQ(run.editors, 1);
    }
}
