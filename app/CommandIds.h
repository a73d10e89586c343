// Command ids of the main window's menu items. The end-to-end driver shares
// this header: menus cannot be read from another process under Wine, so the
// driver posts WM_COMMAND with these ids.
#pragma once

namespace kv::cmd {

enum : unsigned short {
    kUninstall = 101,
    kRestoreRegistry = 102,
    kCleanRegistry = 103,
    kCreateReport = 104,
    kSaveExit = 105,
    kExit = 106,
    kSaveProfile = 107,
    kLoadProfile = 108,
    kAdapter = 111,
    kLanguage = 112,
    kResolutions = 113,
    kTryRate = 114,
    kContents = 121,
    kAbout = 122,
};

// Window class names, so the driver can find Kelvane's windows.
inline constexpr const char* kMainWindowClass = "TForm1";

}  // namespace kv::cmd
