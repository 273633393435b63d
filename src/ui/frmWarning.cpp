#include "ui/frmWarning.h"

#include "ui/Pictures.h"

void frmWarning::Form_Load() {
    Response = false;
    FormLayout layout;
    layout.name = "frmWarning";
    layout.caption = "Warning!";
    layout.kind = FormKind::Dialog;
    layout.width = 490;
    layout.height = 205;
    form_ = toolkit_.CreateForm(layout);
    Form& f = *form_;

    Picture& Image1 = f.AddPicture({"Image1", {12, 12, 93, 91}});
    Image1.SetDrawing(pictures::WarningSign());
    AddMessage(f);
    f.AddRectangle("Shape1", {0, 140, 490, 65}, pictures::kAccent, std::nullopt);
    f.AddRectangle("Shape2", {276, 152, 92, 40}, std::nullopt, pictures::kWhite);
    f.AddRectangle("Shape3", {380, 152, 92, 40}, std::nullopt, pictures::kWhite);
    AddAnswers(f);
}

void frmWarning::AddMessage(Form& f) {
    LabelLayout text;
    text.name = "Label1";
    text.caption =
        "Continuing will make significant changes to this system that cannot be easily undone. "
        "Please test if these changes have the desired effect before using these in production. "
        "Use at your own risk.";
    text.box = {118, 16, 360, 78};
    text.font = {9.75, false};
    text.foreColour = pictures::kDarkGrey;
    text.wrap = true;
    f.AddLabel(text);

    LabelLayout prompt = text;
    prompt.name = "Label2";
    prompt.caption = "Are you sure you want to continue?";
    prompt.box = {118, 104, 360, 20};
    prompt.wrap = false;
    f.AddLabel(prompt);
}

// Yes and No: labels that act as buttons on the accent band.
void frmWarning::AddAnswers(Form& f) {
    LabelLayout answer;
    answer.font = {12, true};
    answer.foreColour = pictures::kWhite;
    answer.backColour = pictures::kAccent;
    answer.align = TextAlign::Centre;
    answer.actsAsButton = true;

    answer.name = "Label3";
    answer.caption = "Yes";
    answer.box = {278, 154, 88, 36};
    Label& Label3 = f.AddLabel(answer);
    Label3.Click = [this] {
        Response = true;
        form_->Unload();
    };

    answer.name = "Label4";
    answer.caption = "No";
    // Enter alone must not apply the optimizations: the keyboard starts on No.
    answer.firstFocus = true;
    answer.box = {382, 154, 88, 36};
    Label& Label4 = f.AddLabel(answer);
    Label4.Click = [this] {
        Response = false;
        form_->Unload();
    };
}

void frmWarning::Show() {
    Form_Load();
    form_->ShowModal();
}
