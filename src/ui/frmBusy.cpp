#include "ui/frmBusy.h"

#include "ui/Pictures.h"

namespace {
// Often enough that the run starts soon after the other ends, seldom enough to cost nothing.
constexpr int kAskEveryMs = 250;
}  // namespace

void frmBusy::Show() {
    Response = false;
    FormLayout layout;
    layout.name = "frmBusy";
    layout.caption = "Waiting for another run";
    layout.kind = FormKind::Dialog;
    layout.width = 420;
    layout.height = 150;
    form_ = toolkit_.CreateForm(layout);

    LabelLayout text;
    text.name = "lblWaiting";
    text.caption =
        "Another run of Orvik Optimizer is changing this machine (OrvikCli apply or undo, "
        "Orvik.exe -RUN, or another editor's Run or Undo). This one starts as soon as it ends.";
    text.box = {16, 16, 388, 64};
    text.foreColour = pictures::kDarkGrey;
    text.wrap = true;
    form_->AddLabel(text);

    form_->AddRectangle("Shape1", {0, 94, 420, 56}, pictures::kAccent, std::nullopt);
    LabelLayout cancel;
    cancel.name = "lblCancel";
    cancel.caption = "Cancel";
    cancel.box = {316, 104, 88, 36};
    cancel.font = {12, true};
    cancel.foreColour = pictures::kWhite;
    cancel.backColour = pictures::kAccent;
    cancel.align = TextAlign::Centre;
    cancel.actsAsButton = true;
    cancel.firstFocus = true;
    form_->AddLabel(cancel).Click = [this] { form_->Unload(); };

    tmrLock = &form_->AddTimer("tmrLock", kAskEveryMs, false);
    tmrLock->Tick = [this] { tmrLock_Tick(); };
    tmrLock->SetEnabled(true);
    form_->Unloaded = [this] { tmrLock->SetEnabled(false); };
    form_->ShowModal();
}

void frmBusy::tmrLock_Tick() {
    if (!take_()) return;
    Response = true;
    form_->Unload();
}
