// Creates the real windows and controls of a form and keeps them in step
// with the form's state; forwards the user's actions to its handlers.
//
// One class over several files, each named for what it holds: the window and
// the dispatch of its messages (Win32View.cpp), making a control of any kind
// (Controls.cpp), keeping every control in step (Sync.cpp), one file per kind
// of control (Buttons, EditBoxes, Labels with WordWrap, ListBoxes with
// CheckList, Pages), the menu bar (Menus.cpp), the controls' shortcut menus
// (ContextMenus.cpp) and the timers (Timers.cpp).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/Form.h"

namespace kv::win {

// Runs a handler the way the program runs every command.
using CommandRunner = std::function<void(const std::function<void()>&)>;

class Win32View {
public:
    Win32View(ui::Form& form, CommandRunner runner);
    ~Win32View();
    Win32View(const Win32View&) = delete;
    Win32View& operator=(const Win32View&) = delete;

    // Creates the window centred on the desktop and shows it.
    HWND Create(HWND owner, HICON icon);
    // Brings every open view in step with its form.
    static void SyncAll();
    HWND Handle() const { return hwnd_; }
    ui::Form& Form() { return form_; }

private:
    // A text and an index no control has, so the next Sync sets them anew.
    static constexpr const char* kStaleText = "\x01";
    static constexpr int kStaleIndex = -2;
    // Posted to open a shortcut menu once the message that asked for it is done.
    static constexpr UINT kOpenShortcutMenu = WM_APP + 1;

    // What the control last showed, so that Sync changes only what changed.
    struct Shadow {
        std::string text;
        std::string hint;
        ui::Rect rect;
        bool wordWrap = false;
        std::vector<std::string> items;
        std::vector<bool> itemChecks;
        int itemIndex = kStaleIndex;
        ui::CheckState state = ui::CheckState::Unchecked;
        bool enabled = true;
        bool shown = false;
        bool fresh = true;
    };
    struct Item {
        ui::Control* control = nullptr;
        HWND hwnd = nullptr;
        int id = 0;
        Shadow last;
        int zOrder = 0;           // place among the window's controls, from the top
        RECT place{};            // the design rectangle at the system's DPI
        bool flushRight = false;  // a one-line label whose text ends at its right edge
        bool wrapped = false;     // a left-aligned label over several lines
    };
    // What CreateWindowExW takes for a control besides its place.
    struct CreateArgs {
        const wchar_t* cls = L"STATIC";
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        int height = 0;  // the design's, unless the kind needs more
    };
    // What one kind of control does at each step of its life, in the order
    // the steps come; a kind that takes no part in a step leaves it empty.
    struct KindSteps {
        ui::Kind kind;
        void (Win32View::*describe)(Item&, CreateArgs&);  // its class and styles
        void (Win32View::*made)(Item&) = nullptr;       // once its window exists
        void (Win32View::*syncItems)(Item&) = nullptr;
        // The text as the control shows it; empty shows the form's text as it is.
        std::wstring (Win32View::*shownText)(const Item&) = nullptr;
        bool showsText = true;  // a tab control shows only its items
        void (Win32View::*syncState)(Item&) = nullptr;
        // Its WM_COMMAND notifications (the tab control's come as WM_NOTIFY).
        void (Win32View::*notified)(Item&, int code) = nullptr;
    };

    // Win32View.cpp: the window and the dispatch of its messages.
    void RegisterWindowClass(HICON icon);
    void TakeSystemFont();
    HWND OwnerFor(HWND owner) const;
    RECT CentringArea() const;
    void CreateFrame(HWND owner);
    void CreateTooltip();
    void ListControls();
    void ShowFirstTime();
    void Destroy();
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    static UINT OtherStartWaitsMessage();
    bool OnCommand(int id, int code, LPARAM lp);
    void OnPaint();
    void OnClose();
    void OnDestroy();
    void TakeSelection(Item& item, UINT getMessage);
    void TakeFocus(Item& item, bool gained);
    void Run(const std::function<void()>& handler);
    Item* ItemById(int id);
    Item* ItemByHandle(HWND hwnd);
    Item* ItemOwning(HWND hwnd);

    // Controls.cpp: making a control of any kind.
    static const KindSteps& StepsOf(ui::Kind kind);
    void CreateControl(Item& item);
    ui::Rect Place(Item& item);
    HFONT FontFor(const ui::Control& c);

    // Sync.cpp: keeping the window and every control in step with the form.
    void Sync();
    void SyncCaption();
    void SyncControl(Item& item);
    void SyncPlace(Item& item);
    void SyncHint(Item& item);
    bool ResetItems(Item& item, UINT resetMessage, UINT addMessage);
    void SyncText(Item& item, const KindSteps& steps);
    void SyncSelection(Item& item, UINT setMessage);
    void SyncEnabled(Item& item);
    void SyncShown(Item& item);

    // Buttons.cpp: push buttons, speed buttons and check boxes.
    void DescribeButton(Item& item, CreateArgs& args);
    void DescribeSpeedButton(Item& item, CreateArgs& args);
    void DescribeCheckBox(Item& item, CreateArgs& args);
    void SyncCheckBoxWrap(Item& item);
    void SyncCheck(Item& item);
    void ButtonNotified(Item& item, int code);

    // EditBoxes.cpp: edit boxes and combo boxes.
    void DescribeEdit(Item& item, CreateArgs& args);
    void DescribeComboBox(Item& item, CreateArgs& args);
    void EditMade(Item& item);
    void ComboBoxMade(Item& item);
    void SyncComboItems(Item& item);
    void EditNotified(Item& item, int code);
    void ComboNotified(Item& item, int code);

    // Labels.cpp: labels and links, memos and the program's icon.
    void DescribeLabel(Item& item, CreateArgs& args);
    void DescribeMemo(Item& item, CreateArgs& args);
    void DescribePicture(Item& item, CreateArgs& args);
    void PictureMade(Item& item);
    void LabelNotified(Item& item, int code);
    bool SetLinkCursor(HWND control);
    HBRUSH StaticColours(HWND control, HDC dc);

    // WordWrap.cpp: texts measured and laid out short of the renderer's slack.
    int MeasureLine(const Item& item, const std::wstring& line);
    int InkSlack(int width) const;
    std::wstring LabelText(const Item& item);
    std::wstring WrapLines(const Item& item, const std::wstring& text);
    std::wstring WrapParagraph(const Item& item, const std::wstring& paragraph, int room);
    void PlaceFlushRight(Item& item);

    // ListBoxes.cpp: list boxes, plain and checked.
    void DescribeListBox(Item& item, CreateArgs& args);
    void SyncListItems(Item& item);
    void SyncListSelection(Item& item);
    void ListNotified(Item& item, int code);
    void FitHorizontalExtent(Item& item);

    // CheckList.cpp: the owner-drawn check list.
    static LRESULT CALLBACK CheckListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void DescribeCheckList(Item& item, CreateArgs& args);
    void CheckListMade(Item& item);
    void SyncCheckListItems(Item& item);
    void SyncChecks(Item& item);
    int CheckLineHeight() const;
    int CheckBoxRoom() const;
    void DrawCheckLine(const DRAWITEMSTRUCT& d);
    void ToggleCheck(HWND list, int index);

    // Pages.cpp: group boxes, the tab control, and the pages made late.
    void DescribeGroupBox(Item& item, CreateArgs& args);
    void DescribeTabControl(Item& item, CreateArgs& args);
    void TabControlMade(Item& item);
    std::wstring GroupBoxCaption(const Item& item);
    void SyncTabCaptions(Item& item);
    void SyncTabSelection(Item& item);
    void OnNotify(const NMHDR& hdr);
    bool OnHiddenPage(const ui::Control& c);
    void OrderControls();
    void CreateShownControls();
    void CreateShownPages();
    void CreateHiddenPages();
    void CreateInPlace(Item& item);

    // Menus.cpp: the menu bar.
    void CreateMenu();
    void SyncMenu();
    void SyncMenuCaptions(HMENU bar);
    void MenuChosen(int id);

    // ContextMenus.cpp: the controls' shortcut menus.
    static LRESULT CALLBACK EditMenuProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void RouteEditMenu(HWND edit);
    bool OnContextMenu(LPARAM lp);
    void OpenShortcutMenu(LPARAM lp);
    Item* ShortcutMenuTarget(LPARAM lp);
    void ShowShortcutMenu(ui::Control& c, POINT at);

    // Timers.cpp: the form's timers and the view's own.
    void StartTimers();
    void AwaitFirstPaint();
    void OnTimer(UINT_PTR id);

    ui::Form& form_;
    CommandRunner runner_;
    HWND hwnd_ = nullptr;
    int dpi_ = 96;  // the system's, by which the design is scaled
    HWND tooltip_ = nullptr;
    HWND modalOwner_ = nullptr;  // disabled while this modal window is open
    bool painted_ = false;       // the first paint has come
    bool menuPending_ = false;   // a shortcut menu is posted to open
    HFONT font_ = nullptr;
    HDC measureDc_ = nullptr;  // where captions are measured
    std::vector<HFONT> extraFonts_;
    std::vector<Item> items_;
    std::string lastCaption_;
    std::vector<std::string> lastMenuCaptions_;
    static std::vector<Win32View*> views_;
};

}  // namespace kv::win
