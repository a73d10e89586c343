// Creates the real windows and controls of a form and keeps them in step
// with the form's state; forwards the user's actions to its handlers.
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
    struct Shadow {
        std::string text;
        std::string hint;
        ui::Rect rect;
        bool wordWrap = false;
        std::vector<std::string> items;
        std::vector<bool> itemChecks;
        int itemIndex = -2;
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

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK CheckListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Destroy();
    int CheckLineHeight() const;
    int CheckBoxRoom() const;
    void FitHorizontalExtent(Item& item);
    void DrawCheckLine(const DRAWITEMSTRUCT& d);
    void ToggleCheck(HWND list, int index);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void CreateControl(Item& item);
    bool OnHiddenPage(const ui::Control& c);
    void CreateInPlace(Item& item);
    void CreateMenu();
    void Sync();
    void SyncMenu();
    void SyncPlace(Item& item);
    void SyncHint(Item& item);
    int MeasureLine(const Item& item, const std::wstring& line);
    int InkSlack(int width) const;
    void PlaceFlushRight(Item& item);
    std::wstring WrapLines(const Item& item, const std::wstring& text);
    void Run(const std::function<void()>& handler);
    Item* ItemById(int id);
    Item* ItemByHandle(HWND hwnd);
    HFONT FontFor(const ui::Control& c);

    ui::Form& form_;
    CommandRunner runner_;
    HWND hwnd_ = nullptr;
    int dpi_ = 96;  // the system's, by which the design is scaled
    HWND tooltip_ = nullptr;
    HWND modalOwner_ = nullptr;  // disabled while this modal window is open
    bool painted_ = false;       // the first paint has come
    HFONT font_ = nullptr;
    HDC measureDc_ = nullptr;  // where captions are measured
    std::vector<HFONT> extraFonts_;
    std::vector<Item> items_;
    std::string lastCaption_;
    std::vector<std::string> lastMenuCaptions_;
    static std::vector<Win32View*> views_;
};

}  // namespace kv::win
