// Plain C++ state of a window and its controls. Handlers read and change
// this state; the Win32 view creates the real windows from it and keeps them
// in step, and a test drives it directly as a user would.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv::ui {

enum class Kind {
    Label,
    Button,
    SpeedButton,  // a flat button without focus, such as the grid's arrows
    CheckBox,
    ComboBox,     // an editable drop-down box
    GroupBox,
    TabControl,
    ListBox,
    CheckListBox,  // a list box with a check box on every line
    Edit,
    Memo,          // read-only text over several lines, without a frame
    Picture,       // the program's icon
};

enum class CheckState { Unchecked = 0, Checked = 1, Grayed = 2 };

enum class Align { Left, Right, Center };

inline constexpr std::uint32_t kDefaultColor = 0xFFFFFFFF;  // the system's text colour
inline constexpr std::uint32_t kRed = 0x000000FF;
inline constexpr std::uint32_t kBlue = 0x00FF0000;

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// A text the program keeps as it is, rather than taking it from a
// language entry.
inline constexpr int kNoEntry = -1;

struct MenuItem {
    std::string name;
    std::string caption;
    unsigned short id = 0;
    int entry = kNoEntry;
    bool enabled = true;
    std::function<void()> onClick;
};

class Control {
public:
    Control(Kind kind, std::string name, std::string parent, Rect rect, std::string text = "")
        : kind(kind), name(std::move(name)), parent(std::move(parent)), rect(rect), text(std::move(text)) {}
    virtual ~Control() = default;

    // The click notification. Check boxes raise it on every change of state,
    // whether the user or the program made it.
    virtual void Click() {
        if (onClick) onClick();
    }
    void SetState(CheckState s) {
        if (state == s) return;
        state = s;
        Click();
    }
    bool Checked() const { return state == CheckState::Checked; }
    // The language entries of its caption and of its hint, declared where
    // the control is added; a language file re-captions it by them.
    Control& Entry(int textEntry_, int hintEntry_ = kNoEntry) {
        textEntry = textEntry_;
        hintEntry = hintEntry_;
        return *this;
    }
    Control& HintEntry(int hintEntry_) {
        hintEntry = hintEntry_;
        return *this;
    }
    // What a mouse click by the user does.
    void UserClick();

    const Kind kind;
    const std::string name;
    const std::string parent;  // the group box or tab control it lies in; "" for the window
    Rect rect;                 // relative to the parent
    std::string text;          // caption, or the box's edit text
    std::vector<std::string> items;  // drop-down items, list items or tab captions
    int itemIndex = -1;              // selected tab or list item
    std::vector<bool> itemChecks;    // a check list box's marks, one per item
    CheckState state = CheckState::Unchecked;
    bool allowGrayed = false;
    bool touched = false;  // the user changed it (set by UserClick)
    bool enabled = true;
    bool visible = true;
    Align align = Align::Left;
    bool showAccel = true;  // "&" marks an access key; "&&" shows one "&"
    bool wordWrap = false;  // a caption that may take more than one line
    std::string hint;
    int textEntry = kNoEntry;
    int hintEntry = kNoEntry;
    std::vector<int> itemEntries;  // a tab control's captions
    std::string fontName;  // empty for the window's font
    std::uint32_t textColor = kDefaultColor;  // 0x00BBGGRR, as Windows writes colours
    int fontSize = 0;      // points; 0 for the window's font size
    bool bold = false;
    // A label that opens something when clicked: blue, underlined, with the
    // hand cursor.
    bool link = false;

    std::function<void()> onClick;   // buttons, check boxes
    std::function<void()> onChange;  // tab control, edit and combo texts
    // What the control's shortcut menu offers, asked each time the user opens
    // it (right button, Shift+F10 or the menu key); an item's id plays no
    // part. Without it, an edit box keeps its own menu.
    std::function<std::vector<MenuItem>()> onContextMenu;
};

struct Menu {
    std::string caption;
    std::vector<MenuItem> items;
    int entry = kNoEntry;
};

struct Timer {
    std::string name;
    unsigned intervalMs = 1000;
    bool enabled = true;
    std::function<void()> onTimer;
};

class Form {
public:
    Form(std::string name, std::string caption, int clientWidth, int clientHeight)
        : name(std::move(name)), caption(std::move(caption)), clientWidth(clientWidth), clientHeight(clientHeight) {}
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    template <class T = Control, class... Args>
    T& Add(Args&&... args) {
        auto c = std::make_unique<T>(std::forward<Args>(args)...);
        T& ref = *c;
        controls.push_back(std::move(c));
        return ref;
    }
    // A plain control; its place may be written as a braced rectangle.
    Control& Add(Kind kind, std::string controlName, std::string parent, Rect rect, std::string text = "") {
        return Add<Control>(kind, std::move(controlName), std::move(parent), rect, std::move(text));
    }
    // What the user's Esc does: it clicks that button, if any.
    void PressEscape();
    Control* Find(const std::string& controlName);
    Control& operator[](const std::string& controlName);
    MenuItem* FindMenuItem(const std::string& itemName);
    // Whether the control and every container it lies in are visible.
    bool Shown(const Control& c);
    // The control's place in the window's client area.
    Rect ScreenRect(const Control& c);

    const std::string name;
    std::string caption;
    int captionEntry = kNoEntry;
    int clientWidth;
    int clientHeight;
    bool stayOnTop = false;
    // The title bar's buttons: a window without them cannot be closed by
    // the user; a minimise button is for the main window and the windows
    // that ask for one.
    bool borderButtons = true;
    bool minimizeBox = false;
    bool closed = false;
    // The window that opened this one; with `modal` that window takes no
    // input while this one is open.
    Form* owner = nullptr;
    bool modal = false;
    std::vector<std::unique_ptr<Control>> controls;  // in component order
    // The control with the keyboard focus, kept by the window system; nullptr
    // when none of the window's controls has it.
    Control* focused = nullptr;
    // The button Esc clicks; nullptr when Esc does nothing.
    Control* escapeButton = nullptr;
    std::vector<Menu> menus;
    std::vector<Timer> timers;
    std::function<void()> onPaint;
    // Asked when the user closes the window (close box, Alt+F4); false
    // keeps it open.
    std::function<bool()> onCloseQuery;
    // Another start of the program waits for this one to end.
    std::function<void()> onOtherStartWaits;
    // Windows' session ends (log off, shut down): the program ends right
    // after, without its usual end.
    std::function<void()> onEndSession;
    // Set by a handler that wants this window in front of the others; the
    // window system does it and clears the flag.
    bool bringToFront = false;
};

}  // namespace kv::ui
