// recorder: stands in for a program that Kelvane starts, so that the tests
// under Wine can see how it was started (copied over hh.exe, say, the help
// viewer's start is seen without the viewer).
//
// Each start appends one line to the file named like its own exe plus
// ".log" (C:\windows\hh.exe.log for C:\windows\hh.exe): the command line as
// it got it, a tab, and the current folder. Then it ends with 0 at once.
#include <windows.h>

#include <string>

int main() {
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    char folder[MAX_PATH];
    n = GetCurrentDirectoryA(MAX_PATH, folder);
    if (n == 0 || n >= MAX_PATH) folder[0] = '\0';

    std::string line = GetCommandLineA();
    line += '\t';
    line += folder;
    line += "\r\n";

    std::string log = std::string(exe) + ".log";
    HANDLE file = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    bool ok = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
              WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
              written == line.size();
    CloseHandle(file);
    return ok ? 0 : 1;
}
