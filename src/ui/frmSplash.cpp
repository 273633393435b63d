#include "ui/frmSplash.h"

#include "ui/Pictures.h"

namespace {
constexpr int kWidth = 480;
constexpr int kHeight = 300;
// Long enough for the splash to be on the screen before the editor is built behind it.
constexpr int kLoadAfterMs = 100;
}  // namespace

void frmSplash::Form_Load() {
    FormLayout layout;
    layout.name = "frmSplash";
    layout.caption = kProductName;
    layout.kind = FormKind::Splash;
    layout.width = kWidth;
    layout.height = kHeight;
    form_ = toolkit_.CreateForm(layout);
    Picture& picture = form_->AddPicture({"Image1", {0, 0, kWidth, kHeight}});
    picture.SetDrawing(pictures::Splash(kWidth, kHeight));
    // The timer counts from the moment the splash shows.
    Timer1_ = &form_->AddTimer("Timer1", 2000, true);
    Timer1_->Tick = [this] { Timer1_Timer(); };
    // The editor is read and built while the splash is up, so that after the two seconds only
    // showing it remains.
    tmrLoad_ = &form_->AddTimer("tmrLoad", kLoadAfterMs, true);
    tmrLoad_->Tick = [this] { tmrLoad_Timer(); };
    // Closed before it handed over (Alt+F4): the program ends, as it would with no other form
    // open; the editor loaded behind the splash must not keep it alive unseen.
    form_->Unloaded = [this] {
        if (!handedOver_) toolkit_.EndProgram();
    };
    form_->Show();
}

void frmSplash::tmrLoad_Timer() {
    tmrLoad_->SetEnabled(false);
    loadEditor_();
}

void frmSplash::Timer1_Timer() {
    // Once only: the editor opens before the splash goes, so a form is always open.
    Timer1_->SetEnabled(false);
    if (tmrLoad_->Enabled()) tmrLoad_Timer();
    openEditor_();
    handedOver_ = true;
    form_->Unload();
}
