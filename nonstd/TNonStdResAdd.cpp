#include "nonstd/TNonStdResAdd.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <utility>

#include "lang/Lang.h"
#include "lang/MessageBoxes.h"

namespace kv {

namespace {

// Digits beyond this only ever mean "too large"; counting on would overflow.
constexpr unsigned long kTooLarge = 100000;

std::size_t SkipBlanks(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    return at;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number the digits from `at` on form, and where they end.
unsigned long ReadDigits(const std::string& text, std::size_t& at) {
    unsigned long value = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) value = std::min(value * 10 + (text[at] - '0'), kTooLarge);
    return value;
}

// A width or height: blanks, then digits and nothing after them.
std::optional<unsigned long> WholeNumber(const std::string& text) {
    std::size_t at = SkipBlanks(text), digits = at;
    unsigned long value = ReadDigits(text, at);
    if (at == digits || at != text.size()) return std::nullopt;
    return value;
}

// A depth or rate: empty, or "any" in any letter case anywhere, is any (0);
// otherwise the leading digits ("85Hz" is 85), and a text without them is
// any too. A negative number or a fraction ("-85", "16.5") is none the
// field can hold: it reads as too large, and is refused with that message.
unsigned long DepthOrRate(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.find("any") != std::string::npos) return 0;
    std::size_t at = SkipBlanks(text);
    if (at + 1 < text.size() && text[at] == '-' && IsDigit(text[at + 1])) return kTooLarge;
    unsigned long value = ReadDigits(text, at);
    if (at + 1 < text.size() && (text[at] == '.' || text[at] == ',') && IsDigit(text[at + 1])) return kTooLarge;
    return value;
}

// "Any" in the language in force: a word without digits reads as any.
std::string NumberOrAny(unsigned value) { return value == 0 ? LangText(kTxtAny) : std::to_string(value); }

}  // namespace

TNonStResAdd::TNonStResAdd(Platform& platform, Mode mode, NonStdEntry editing,
                           std::function<void(const NonStdEntry&)> accept, std::function<void()> onClosed)
    : Dialog("TNonStResAdd", kTxtResolutionsCaption, 420, 78),
      mode(mode),
      editing(editing),
      platform_(platform),
      accept_(std::move(accept)),
      onClosed_(std::move(onClosed)) {
    // The close box is Cancel.
    onCloseQuery = [this] {
        bCancelClick();
        return true;
    };
    Create({{bOK, [this] { bOKClick(); }}, {bCancel, [this] { bCancelClick(); }}});
}

void TNonStResAdd::FormCreate() {
    bool edit = mode == Mode::Edit;
    eWidth.text = edit ? std::to_string(editing.width) : "";
    eHeight.text = edit ? std::to_string(editing.height) : "";
    eBpp.text = NumberOrAny(edit ? editing.depth : 0);
    eHz.text = NumberOrAny(edit ? editing.refresh : 0);
}

void TNonStResAdd::bOKClick() {
    std::optional<unsigned long> width = WholeNumber(eWidth.text);
    std::optional<unsigned long> height = WholeNumber(eHeight.text);
    // No size at all: the editor stays open for the user to type one.
    if (!width || !height || *width == 0 || *height == 0) return;
    unsigned long depth = DepthOrRate(eBpp.text);
    unsigned long refresh = DepthOrRate(eHz.text);
    if (!WithinLimit(*width, kMaxNonStdSize, kMsgWidthTooLarge) ||
        !WithinLimit(*height, kMaxNonStdSize, kMsgHeightTooLarge) ||
        !WithinLimit(depth, kMaxNonStdDepthOrRate, kMsgDepthTooLarge) ||
        !WithinLimit(refresh, kMaxNonStdDepthOrRate, kMsgRateTooLarge))
        return;
    if (accept_)
        accept_({static_cast<std::uint16_t>(*width), static_cast<std::uint16_t>(*height),
                 static_cast<std::uint8_t>(refresh), static_cast<std::uint8_t>(depth)});
    Close();
}

bool TNonStResAdd::WithinLimit(unsigned long value, unsigned long limit, int message) {
    if (value <= limit) return true;
    ShowError(platform_.system, LangText(message));
    return false;
}

void TNonStResAdd::bCancelClick() { Close(); }

void TNonStResAdd::Close() {
    closed = true;
    // Once only: the close box after a button must not reach the list again.
    if (std::function<void()> closedNow = std::exchange(onClosed_, nullptr)) closedNow();
}

}  // namespace kv
