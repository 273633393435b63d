#include "ui/frmSplash.h"

#include "ui/Pictures.h"

namespace {
constexpr int kWidth = 480;
constexpr int kHeight = 300;
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
    form_->Show();
}

void frmSplash::Timer1_Timer() {
    // Once only: the editor opens before the splash goes, so a form is always open.
    Timer1_->SetEnabled(false);
    openEditor_();
    form_->Unload();
}
