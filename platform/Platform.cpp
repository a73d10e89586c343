#include "platform/Platform.h"

#include <exception>
#include <utility>

#include "platform/Text.h"

namespace kv {

namespace {

// The code pages the shipped language files are written in.
bool HasOwnTable(unsigned codePage) { return codePage == 1251 || codePage == 1252; }

}  // namespace

void ISystem::EndProgram(int exitCode) {
    // Once only, should undoing it end the program itself.
    if (std::function<void()> undo = std::exchange(beforeEnd, nullptr)) undo();
    Exit(exitCode);
    std::terminate();  // the compiler cannot see that a virtual Exit keeps its word
}

std::string ISystem::DecodeAnsiText(const std::string& bytes, unsigned codePage) {
    if (codePage == 0 || !(HasOwnTable(codePage) || HasCodePage(codePage))) codePage = AnsiCodePage();
    return HasOwnTable(codePage) ? DecodeWindowsCodePage(bytes, codePage) : SystemDecode(bytes, codePage);
}

std::string ISystem::EncodeText(const std::string& text, CodePage which) {
    unsigned codePage = which == CodePage::Oem ? OemCodePage() : AnsiCodePage();
    return HasOwnTable(codePage) ? EncodeWindowsCodePage(text, codePage) : SystemEncode(text, codePage);
}

}  // namespace kv
