#pragma once
// The window toolkit the three windows stand on: forms with a menu bar, labels and pictures that
// report clicks, a list with a tick box per row, an image list, a timer, decoration and modal
// message boxes. Sizes are pixels at 96 DPI; the toolkit scales them to the screen. Text is UTF-8.
//
// Notifications are plain function slots. Those of the check-box list fire for changes the program
// makes too, inside the call that makes them: the editor keeps its data in step through them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ProductName.h"

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// A rectangle in the client area of its form.
struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct PointF {
    double x = 0;
    double y = 0;
};

// One shape of a picture, in the picture's own pixel box.
struct DrawShape {
    enum class Kind { Polygon, Polyline, Ellipse, Text };
    Kind kind = Kind::Polygon;
    // Polygon: the corners; Polyline: the points; Ellipse and Text: two opposite corners.
    std::vector<PointF> points;
    Rgb colour;           // fill, pen or text colour
    double penWidth = 0;  // Polyline, and the outline of an Ellipse that is not filled
    bool filled = true;   // Ellipse only
    std::string text;     // Text only: one line, centred in its box
    double textPixels = 0;
    bool bold = false;
};

// A picture drawn by the program: no image files ship with it.
struct Drawing {
    int width = 0;
    int height = 0;
    Rgb background;
    std::vector<DrawShape> shapes;
};

struct FontStyle {
    double points = 9.75;  // Calibri, or the nearest face the machine has
    bool bold = false;
};

enum class TextAlign { Left, Centre };

struct LabelLayout {
    std::string name;
    std::string caption;
    Box box;
    FontStyle font;
    Rgb foreColour;
    Rgb backColour{255, 255, 255};
    TextAlign align = TextAlign::Left;
    bool wrap = false;
    bool actsAsButton = false;  // reachable by Tab, Enter and Space click it
    bool firstFocus = false;    // has the keyboard when the form opens
};

struct PictureLayout {
    std::string name;
    Box box;
    Rgb backColour{255, 255, 255};
    bool actsAsButton = false;
};

class Label {
public:
    virtual ~Label() = default;
    virtual void SetCaption(const std::string& text) = 0;
    virtual std::string Caption() const = 0;

    std::function<void()> Click;
};

// Pictures addressed by a 1-based index.
class ImageList {
public:
    virtual ~ImageList() = default;
    virtual int Add(const Drawing& picture) = 0;  // gives the new picture's index
    virtual int Count() const = 0;
};

class Picture {
public:
    virtual ~Picture() = default;
    virtual void SetDrawing(const Drawing& picture) = 0;
    // Shows picture `index` (1-based) of the list; an index outside the list changes nothing.
    virtual void ShowImage(const ImageList& list, int index) = 0;

    std::function<void()> Click;
};

// A list with a tick box on each row. Rows count from 0; -1 is "no row".
class CheckList {
public:
    virtual ~CheckList() = default;
    virtual void AddItem(const std::string& text) = 0;
    virtual int NewIndex() const = 0;  // row last appended, -1 when none
    virtual int ListCount() const = 0;
    virtual std::string List(int index) const = 0;  // a row's text
    virtual int32_t ItemData(int index) const = 0;
    virtual void SetItemData(int index, int32_t value) = 0;
    virtual int ListIndex() const = 0;
    // -1 clears the current row; another index outside the list changes nothing.
    virtual void SetListIndex(int index) = 0;
    virtual bool Selected(int index) const = 0;  // the row's tick
    virtual void SetSelected(int index, bool ticked) = 0;
    virtual void Clear() = 0;
    // The short text of a row's second column (the list's note column), "" when none.
    virtual std::string Note(int index) const = 0;
    virtual void SetNote(int index, const std::string& text) = 0;
    // Gives it the keyboard.
    virtual void Focus() = 0;

    std::function<void()> Click;         // the current row changed
    std::function<void(int)> ItemCheck;  // a row's tick changed
};

// A one-line text box the user types into.
class TextBox {
public:
    virtual ~TextBox() = default;
    virtual std::string Text() const = 0;
    // Changes the text as the user would: Change follows, inside the call, when it differs.
    virtual void SetText(const std::string& text) = 0;
    // Gives it the keyboard.
    virtual void Focus() = 0;

    std::function<void()> Change;  // the text changed
};

class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;

    std::function<void()> Tick;
};

class MenuItem {
public:
    virtual ~MenuItem() = default;
    // "&" marks the access key of the next letter.
    virtual MenuItem& AddItem(const std::string& name, const std::string& caption) = 0;

    std::function<void()> Click;
};

enum class FormKind {
    Main,    // caption, close box, minimise box, menu bar
    Dialog,  // caption and close box; owned by the active form
    Splash,  // no frame
};

struct FormLayout {
    std::string name;
    std::string caption;
    FormKind kind = FormKind::Main;
    int width = 0;  // client area, below the menu bar
    int height = 0;
    Rgb background{255, 255, 255};
};

// A top-level window. Controls are created before it is shown and live as long as the form.
// Every form opens centred on the screen.
class Form {
public:
    virtual ~Form() = default;

    virtual Label& AddLabel(const LabelLayout& layout) = 0;
    virtual Picture& AddPicture(const PictureLayout& layout) = 0;
    // noteWidth: the width of the note column at the right of the rows, 0 for none.
    virtual CheckList& AddCheckList(const std::string& name, const Box& box, const FontStyle& font,
                                    int noteWidth = 0) = 0;
    virtual TextBox& AddTextBox(const std::string& name, const Box& box, const FontStyle& font) = 0;
    virtual ImageList& AddImageList(const std::string& name, int width, int height) = 0;
    virtual Timer& AddTimer(const std::string& name, int intervalMs, bool enabled) = 0;
    // Decoration only: a rectangle with an optional fill and an optional frame, and a line.
    virtual void AddRectangle(const std::string& name, const Box& box, std::optional<Rgb> fill,
                              std::optional<Rgb> frame) = 0;
    virtual void AddLine(const std::string& name, int x1, int y1, int x2, int y2, Rgb colour) = 0;
    virtual MenuItem& AddMenu(const std::string& name, const std::string& caption) = 0;
    // A key that acts wherever the keyboard is in the form: "Ctrl+" and a letter, or "Escape".
    virtual void AddShortcut(const std::string& keys, std::function<void()> handler) = 0;

    virtual void Show() = 0;
    // Returns when the form has closed; the other forms take no input meanwhile.
    virtual void ShowModal() = 0;
    // Closes the form from code. A form that is closed stays closed.
    virtual void Unload() = 0;
    virtual bool Visible() const = 0;

    // After the form has closed, whether by code or by the user.
    std::function<void()> Unloaded;
};

enum class MessageStyle { Plain, Error };

class Toolkit {
public:
    virtual ~Toolkit() = default;
    virtual std::unique_ptr<Form> CreateForm(const FormLayout& layout) = 0;
    // Modal over the active form, OK only, titled with the product's name.
    virtual void MsgBox(const std::string& text, MessageStyle style = MessageStyle::Plain) = 0;
    // Modal over the active form, Yes and No with No first in line; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // Ends the program at once: no further handler of any form runs.
    virtual void EndProgram() = 0;
    // Handles input until the last open form has closed; gives the exit code.
    virtual int Run() = 0;
};
