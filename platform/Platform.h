// The operating-system operations Kelvane's logic needs, behind three small
// interfaces. The Win32 build implements them with the real calls; the
// simulated machine implements them in memory for tests and the demo.
//
// All text crossing these interfaces is UTF-8. The Win32 implementations
// convert at the boundary, so texts such as Cyrillic captions show correctly
// whatever the system's ANSI code page.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv {

using Bytes = std::vector<std::uint8_t>;

// Windows starts each command stored here once at the next logon, then
// deletes it.
inline constexpr const char* kRunOnceKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Registry value types as Windows numbers them.
enum RegValueType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegDwordBigEndian = 5,
    kRegLink = 6,
    kRegMultiSz = 7,
    kRegResourceList = 8,
};

struct RegValue {
    std::uint32_t type = kRegNone;
    // String types hold their UTF-8 bytes, including any terminating zero
    // that the value was stored with.
    Bytes data;
};

enum class RegStatus {
    Ok,
    Failed,   // the key was opened but the value could not be read or written
    NoKey,    // the key could not be opened
    Missing,  // the key was opened and holds no value of that name
};

// The registry under HKEY_LOCAL_MACHINE. Paths carry no leading backslash;
// key and value names compare without regard to letter case, as in Windows.
class IRegistry {
public:
    virtual ~IRegistry() = default;
    virtual bool KeyExists(const std::string& path) = 0;
    // Creates the key and any missing parents.
    virtual bool CreateKey(const std::string& path) = 0;
    // Creates a key Windows holds in memory only: every restart drops it.
    // Its parent must exist; no key but a volatile one can be made under it.
    virtual bool CreateVolatileKey(const std::string& path) = 0;
    // Deletes the key with all its subkeys.
    virtual bool DeleteKey(const std::string& path) = 0;
    virtual RegStatus QueryValue(const std::string& path, const std::string& name, RegValue& out) = 0;
    // Never creates the key.
    virtual RegStatus SetValue(const std::string& path, const std::string& name, const RegValue& value) = 0;
    virtual RegStatus DeleteValue(const std::string& path, const std::string& name) = 0;
    virtual std::vector<std::string> SubKeyNames(const std::string& path) = 0;
    virtual std::vector<std::string> ValueNames(const std::string& path) = 0;
};

// Flags of a display device's state, as Windows reports them.
enum : std::uint32_t {
    kDisplayAttachedToDesktop = 0x1,
    kDisplayPrimaryDevice = 0x4,
    kDisplayMirroringDriver = 0x8,
};

struct DisplayDeviceInfo {
    std::string deviceName;    // such as \\.\DISPLAY1
    std::string deviceString;  // the adapter's description
    std::uint32_t stateFlags = 0;
    std::string deviceKey;     // \Registry\Machine\...
    // The device's ID: for a monitor, MONITOR\<model>\{class}\<nnnn>,
    // whose last two parts name its instance's driver key.
    std::string deviceId = {};
};

struct DisplayMode {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bitsPerPixel = 0;
    std::uint32_t frequency = 0;
    std::uint32_t displayFlags = 0;  // such as kDisplayInterlaced
    bool operator==(const DisplayMode&) const = default;
};

enum : std::uint32_t {
    kEnumRawMode = 0x2,  // EDS_RAWMODE
    kCdsUpdateRegistry = 0x1,
    kCdsFullscreen = 0x4,  // a mode for now: nothing is stored
    kDisplayInterlaced = 0x2,  // DM_INTERLACED
    // The mode numbers that read the mode shown now and the one stored in
    // the registry, which Windows starts in.
    kEnumCurrentSettings = 0xFFFFFFFF,
    kEnumRegistrySettings = 0xFFFFFFFE,
};

// No driver lists more modes; an enumeration that never ends stops here.
inline constexpr std::uint32_t kMaxModesListed = 65536;

// Windows' answers to a mode change.
enum : long {
    kDispChangeSuccessful = 0,
    kDispChangeRestart = 1,
    kDispChangeFailed = -1,
    kDispChangeBadMode = -2,
    kDispChangeBadParam = -5,
};

// The display functions: the devices, their modes, and mode changes.
class IDisplay {
public:
    virtual ~IDisplay() = default;
    virtual std::optional<DisplayDeviceInfo> EnumDevice(std::uint32_t index) = 0;
    // The monitors of an adapter by its device name, as EnumDisplayDevices
    // lists them; nothing past the last. A display without monitors lists
    // none.
    virtual std::optional<DisplayDeviceInfo> EnumMonitor(const std::string& /*adapterName*/, std::uint32_t /*index*/) {
        return std::nullopt;
    }
    virtual std::optional<DisplayMode> EnumMode(const std::string& deviceName, std::uint32_t index,
                                                std::uint32_t flags) = 0;
    // Asks for a new refresh rate on the primary display; true when accepted.
    virtual bool ChangeFrequency(std::uint32_t frequency, std::uint32_t flags) = 0;
    // The mode the device shows now; nothing when it cannot be read.
    virtual std::optional<DisplayMode> CurrentMode(const std::string& deviceName) = 0;
    // The mode stored in the registry; nothing when it cannot be read.
    std::optional<DisplayMode> StoredMode(const std::string& deviceName) {
        return EnumMode(deviceName, kEnumRegistrySettings, 0);
    }
    // Switches the device to the mode: its size, depth, rate and display
    // flags. No mode (all zeros) with flags 0 is Windows' way back to the
    // mode stored in the registry after a change for now. Returns Windows'
    // answer.
    virtual long ChangeMode(const std::string& deviceName, const DisplayMode& mode, std::uint32_t flags) = 0;
};

// Message box button sets and answers, as Windows numbers them.
enum : int {
    kMbOk = 0,
    kMbOkCancel = 1,
    kMbYesNo = 4,
    // With kMbYesNo: No is the default answer (MB_DEFBUTTON2).
    kMbDefaultSecond = 0x100,
};
enum : int {
    kIdOk = 1,
    kIdCancel = 2,
    kIdYes = 6,
    kIdNo = 7,
};

enum : int {
    kShowHidden = 0,
    kShowNormal = 1,
};

// Ending the program from inside a handler. The Win32 system ends the
// process; the simulated one throws this so a test sees the end.
struct ProgramEnded {
    int exitCode;
};

// Everything else the program asks of the system.
class ISystem {
public:
    virtual ~ISystem() = default;
    virtual int ShowMessageBox(const std::string& text, const std::string& caption, int buttons) = 0;
    // The shell's open action; returns a handle usable with WaitForProgram
    // (0 when the start failed).
    virtual std::uintptr_t ShellOpen(const std::string& file, const std::string& parameters,
                                     const std::string& directory, int show) = 0;
    // Waits for a started program to end; false when it is still running
    // after the time-out.
    virtual bool WaitForProgram(std::uintptr_t handle, std::uint32_t timeoutMs) = 0;
    // The three steps of enabling the shutdown privilege; true for each that
    // worked.
    struct PrivilegeSteps {
        bool openToken = false;
        bool lookup = false;
        bool adjust = false;
    };
    virtual PrivilegeSteps EnableShutdownPrivilege() = 0;
    // ExitWindowsEx(EWX_REBOOT); true when the restart was accepted.
    virtual bool RestartWindows() = 0;
    virtual std::uint32_t GetVersion() = 0;
    virtual void Sleep(std::uint32_t ms) = 0;
    virtual std::string CommandLine() = 0;
    // The full path of the program's own exe.
    virtual std::string ProgramPath() = 0;
    virtual std::string CurrentDirectory() = 0;
    // Names (without directory) of the files matching a pattern such as
    // ".\*.lng".
    virtual std::vector<std::string> FindFiles(const std::string& pattern) = 0;
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // Text in a Windows code page, such as a language file's, as UTF-8;
    // `codePage` 0, or one the system does not have, is the system's ANSI
    // code page. The pages the language files ship in (1251, 1252) are read
    // with the program's own tables: a Western Windows 2000 has 1251 only
    // when Cyrillic support was installed.
    std::string DecodeAnsiText(const std::string& bytes, unsigned codePage);
    // UTF-8 text in the system's ANSI code page, in which 8-bit programs
    // and text files write, or in its OEM code page, in which the command
    // interpreter reads batch files. A character the code page lacks
    // becomes "?".
    enum class CodePage { Ansi, Oem };
    std::string EncodeText(const std::string& text, CodePage codePage);
    // The system's own code pages and conversions, for the pages the
    // program has no table of.
    virtual unsigned AnsiCodePage() = 0;
    virtual unsigned OemCodePage() = 0;
    // IsValidCodePage: whether the page is installed.
    virtual bool HasCodePage(unsigned codePage) = 0;
    // Nothing when the page is not installed.
    virtual std::string SystemDecode(const std::string& bytes, unsigned codePage) = 0;
    virtual std::string SystemEncode(const std::string& text, unsigned codePage) = 0;
    virtual bool WriteFile(const std::string& path, const std::string& content) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // Moves a file over another, replacing it; false (both left as they
    // were) when the target cannot be replaced, such as a locked or
    // read-only file.
    virtual bool MoveFileOver(const std::string& from, const std::string& to) = 0;
    // Whether a file (not a folder) of that path is there.
    virtual bool FileExists(const std::string& path) = 0;
    // One running Kelvane: true for the first claim of the name; a second
    // program's claim fails while the first runs. A name that begins with
    // "Global\\" is one for the whole machine, every session of Fast User
    // Switching and Remote Desktop included; any other is the session's own.
    virtual bool ClaimSingleInstance(const std::string& name) = 0;
    // Claims the name once the program that holds it has ended; false when
    // it still holds it after the time-out.
    virtual bool WaitForSingleInstance(const std::string& name, std::uint32_t timeoutMs) = 0;
    // Gives the claim up before the program ends (Windows drops it at the
    // end of the process anyway).
    virtual void ReleaseSingleInstance(const std::string& name) = 0;
    // Brings the top-level window of that window class to the front,
    // restoring it when it is minimised; false when this session has none.
    virtual bool ActivateWindow(const std::string& windowClass) = 0;
    // Tells the program whose top-level window has that class that another
    // start of it waits for it to end (its window's onOtherStartWaits).
    virtual void TellOtherStartWaits(const std::string& windowClass) = 0;
    // The local time as "2026-12-09 16:05:33", for a log.
    virtual std::string LocalTimeText() = 0;
    // Windows' standard dialog for a file to open (it must exist) or to
    // save to (replacing one is asked first). `filter`: pairs of a
    // description and its patterns, each part ended by "|", such as
    // "Profiles (*.ini)|*.ini|". `extension` is added to a name typed
    // without one. Nothing when the user cancels.
    enum class FileDialog { Open, Save };
    virtual std::optional<std::string> AskFileName(FileDialog kind, const std::string& title,
                                                   const std::string& filter, const std::string& extension) = 0;
    // Ends the program, whoever asks: what may not outlive it, such as a
    // display mode being tried, is undone first by `beforeEnd`.
    [[noreturn]] void EndProgram(int exitCode);
    std::function<void()> beforeEnd;

protected:
    [[noreturn]] virtual void Exit(int exitCode) = 0;
};

// What a handler works with.
struct Platform {
    IRegistry& registry;
    IDisplay& display;
    ISystem& system;
};

}  // namespace kv
