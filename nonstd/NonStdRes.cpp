#include "nonstd/NonStdRes.h"

#include <algorithm>
#include <optional>

#include "lang/Lang.h"
#include "maintenance/DriverChange.h"
#include "modes/ModeRecords.h"
#include "nonstd/TNonStdResAdd.h"
#include "platform/Misc.h"
#include "platform/SharedRegistry.h"

namespace kv {

namespace {

// Sizes get two blanks when short, so that most lines line up.
std::string SizeText(std::uint16_t size) { return (size < 1000 ? "  " : "") + std::to_string(size); }

// "a", "a and b", "a, b and c".
std::string Enumeration(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text;
}

}  // namespace

std::string NonStdLine(const NonStdEntry& e) {
    std::string depth = e.depth == 0 ? "Any BPP" : std::to_string(e.depth);
    std::string refresh = e.refresh == 0 ? "Any Refresh" : std::to_string(e.refresh);
    return SizeText(e.width) + " x " + SizeText(e.height) + " x " + depth + " x " + refresh;
}

BcdModeRecord NonStdRecord(const NonStdEntry& e) { return EncodeModeRecord({e.width, e.height, e.depth, e.refresh}); }

TNonStRes::TNonStRes(Platform& platform, NonStandardRun& run, RunSnapshots& snapshots, std::string deviceKey,
                     std::function<ui::Form&(std::unique_ptr<ui::Form>)> open)
    : ui::Form("TNonStRes", "", 330, 304),
      platform_(platform),
      run_(run),
      snapshots_(snapshots),
      deviceKey_(std::move(deviceKey)),
      open_(std::move(open)) {
    stayOnTop = true;
    // The close box is Cancel, and like every button waits for the editor.
    onCloseQuery = [this] {
        if (EditorOpen()) return false;
        BCancelClick();
        return true;
    };
    Add(ui::Kind::Label, "Label1", "", ui::Rect{8, 8, 314, 16}, "");
    auto& list = Add(ui::Kind::ListBox, "lbRes", "", ui::Rect{8, 26, 214, 160}, "");
    list.showAccel = false;
    list.onClick = [this] { bEditClick(); };
    Add(ui::Kind::Button, "bAdd", "", ui::Rect{230, 26, 92, 25}, "").onClick = [this] { bAddClick(); };
    Add(ui::Kind::Button, "bRemove", "", ui::Rect{230, 57, 92, 25}, "").onClick = [this] { bRemoveClick(); };
    Add(ui::Kind::Button, "bEdit", "", ui::Rect{230, 88, 92, 25}, "").onClick = [this] { bEditClick(); };
    Add(ui::Kind::Button, "bOK", "", ui::Rect{230, 130, 92, 25}, "").onClick = [this] { bOKClick(); };
    Add(ui::Kind::Button, "BCancel", "", ui::Rect{230, 161, 92, 25}, "").onClick = [this] { BCancelClick(); };
    // Room for seven lines: translations of the warning take six.
    Add(ui::Kind::Memo, "mWarning", "", ui::Rect{8, 196, 314, 100}, "").textColor = ui::kRed;
    FormCreate();
}

void TNonStRes::FormCreate() {
    caption = LangText(61);
    (*this)["Label1"].text = LangText(62);
    (*this)["bAdd"].text = LangText(63);
    (*this)["bRemove"].text = LangText(64);
    (*this)["bEdit"].text = LangText(65);
    (*this)["bOK"].text = LangText(6);
    (*this)["BCancel"].text = LangText(7);
    (*this)["mWarning"].text = LangText(66) + LangText(67) + LangText(68) + LangText(69);

    // The entries of earlier openings stay; the stored ones are merged in.
    keptRecords_.clear();
    unreadable_.fill(false);
    std::vector<std::string> problems;
    SharedRegistry shared(platform_.registry);
    deviceKeyRead_ = shared.OpenKey("\\" + deviceKey_, false);
    if (deviceKeyRead_)
        for (std::size_t i = 0; i < kNonStandardValueCount; ++i) LoadValue(shared, i, problems);
    entriesAtOpening_ = run_.Entries;
    FillList();
    WarnAboutUnreadableValues(problems);
}

void TNonStRes::LoadValue(SharedRegistry& shared, std::size_t index, std::vector<std::string>& problems) {
    const char* name = kNonStandardListNames[index];
    std::string problem = ByteValueProblem(shared.GetValueInfo(name));
    ListBuffer buffer = EmptyListBuffer();
    std::size_t length = 0;
    if (problem.empty()) {
        try {
            length = shared.ReadBinary(name, buffer.data(), buffer.size());
        } catch (const CommandAborted& e) {
            problem = e.what();
        }
    }
    if (!problem.empty()) {
        unreadable_[index] = true;
        problems.push_back("'" + std::string(name) + "' (" + problem + ")");
        return;
    }
    std::vector<Bytes> notModes;
    for (const ModeEntry& r : DecodeList(buffer, length, &notModes)) {
        if (r.width == 0 || r.height == 0 || r.depth > kMaxNonStdDepthOrRate || r.rate > kMaxNonStdDepthOrRate) {
            // Valid BCD: encoding it again gives the bytes as stored.
            BcdModeRecord bytes = EncodeModeRecord(r);
            keptRecords_.emplace_back(bytes.begin(), bytes.end());
            continue;
        }
        MergeStoredEntry({r.width, r.height, static_cast<std::uint8_t>(r.rate), static_cast<std::uint8_t>(r.depth)});
    }
    KeepRawRecords(keptRecords_, notModes);
}

void TNonStRes::MergeStoredEntry(const NonStdEntry& e) {
    if (std::find(run_.Entries.begin(), run_.Entries.end(), e) == run_.Entries.end()) run_.Entries.push_back(e);
}

void TNonStRes::WarnAboutUnreadableValues(const std::vector<std::string>& problems) {
    if (problems.empty()) return;
    std::string text =
        problems.size() == 1
            ? "Kelvane cannot read the driver's value " + problems[0] + ". It is left as it is."
            : "Kelvane cannot read the driver's values " + Enumeration(problems) + ". They are left as they are.";
    if (unreadable_[0])
        text += std::string(" The list is written into '") + kNonStandardListNames[0] + "', so OK cannot save it.";
    platform_.system.ShowMessageBox(text, "Warning", kMbOk);
}

void TNonStRes::FillList() {
    ui::Control& list = (*this)["lbRes"];
    list.items.clear();
    for (const NonStdEntry& e : run_.Entries) list.items.push_back(NonStdLine(e));
    list.itemIndex = -1;
}

bool TNonStRes::EditorOpen() {
    if (!editor) return false;
    editor->bringToFront = true;
    return true;
}

void TNonStRes::bAddClick() {
    if (EditorOpen()) return;
    if (RecordCount() >= kMaxListRecords) {
        platform_.system.ShowMessageBox(
            "The driver's list holds at most 256 resolutions, and this one is full. "
            "Remove a resolution before adding another.",
            "Error", kMbOk);
        return;
    }
    OpenEditor(false, {});
}

void TNonStRes::bEditClick() {
    if (EditorOpen()) return;
    int line = (*this)["lbRes"].itemIndex;
    if (line < 0 || static_cast<std::size_t>(line) >= run_.Entries.size()) return;
    editIndex_ = static_cast<std::size_t>(line);
    OpenEditor(true, run_.Entries[editIndex_]);
}

void TNonStRes::OpenEditor(bool editing, const NonStdEntry& entry) {
    auto accept = [this, editing](const NonStdEntry& e) {
        std::vector<std::string>& lines = (*this)["lbRes"].items;
        if (!editing) {
            run_.Entries.push_back(e);
            lines.push_back(NonStdLine(e));
        } else if (editIndex_ < run_.Entries.size()) {
            run_.Entries[editIndex_] = e;
            lines[editIndex_] = NonStdLine(e);
        }
    };
    auto dialog =
        std::make_unique<TNonStResAdd>(platform_, editing ? TNonStResAdd::Mode::Edit : TNonStResAdd::Mode::Add, entry,
                                       accept, [this] { editor = nullptr; });
    dialog->owner = this;
    dialog->modal = true;
    editor = dialog.get();
    open_(std::move(dialog));
}

void TNonStRes::bRemoveClick() {
    if (EditorOpen()) return;
    ui::Control& list = (*this)["lbRes"];
    int line = list.itemIndex;
    if (line < 0 || static_cast<std::size_t>(line) >= run_.Entries.size()) return;
    run_.Entries.erase(run_.Entries.begin() + line);
    list.items.erase(list.items.begin() + line);
    list.itemIndex = -1;
}

void TNonStRes::bOKClick() {
    if (EditorOpen() || !ListFitsAndCanBeWritten()) return;
    SharedRegistry shared(platform_.registry);
    // A key that was not there to read from is not written either.
    if (!deviceKeyRead_ || !shared.OpenKey("\\" + deviceKey_, false)) {
        platform_.system.ShowMessageBox("Kelvane cannot open the driver's key (HKEY_LOCAL_MACHINE\\" + deviceKey_ +
                                            "), so the list was not written. Nothing was changed.",
                                        "Error", kMbOk);
        return;
    }
    auto write = [&] {
        // The whole list goes into the first value; the continuations the
        // driver would add to it are left empty, not deleted.
        bool first = true;
        for (std::size_t i = 0; i < kNonStandardValueCount; ++i) {
            if (unreadable_[i]) continue;
            shared.WriteBinary(kNonStandardListNames[i], first ? ListBytes() : Bytes{});
            first = false;
        }
    };
    if (ChangeDriverSettings(platform_, snapshots_, {deviceKey_}, "Saving the non-standard resolutions stopped",
                             write) != ChangeResult::Written)
        return;
    run_.NonStandardListWritten = true;
    closed = true;
}

// Back to the list as this opening loaded it; nothing is written.
void TNonStRes::BCancelClick() {
    if (EditorOpen()) return;
    run_.Entries = entriesAtOpening_;
    closed = true;
}

bool TNonStRes::ListFitsAndCanBeWritten() {
    if (unreadable_[0]) {
        platform_.system.ShowMessageBox(std::string("The list is written into the driver's value '") +
                                            kNonStandardListNames[0] +
                                            "', which Kelvane cannot read, and writing it would lose what it "
                                            "holds. Nothing was changed.",
                                        "Error", kMbOk);
        return false;
    }
    if (RecordCount() > kMaxListRecords) {
        std::string kept = keptRecords_.empty() ? ""
                                                : " (with " + std::to_string(keptRecords_.size()) +
                                                      " stored records Kelvane cannot show but keeps)";
        platform_.system.ShowMessageBox("The list needs " + std::to_string(RecordCount()) + " records" + kept +
                                            ", but the driver's list holds at most 256. Remove resolutions and "
                                            "press OK again. Nothing was changed.",
                                        "Error", kMbOk);
        return false;
    }
    return true;
}

// The entries, then the kept records; a record cut short can only come last.
Bytes TNonStRes::ListBytes() const {
    Bytes list;
    for (const NonStdEntry& e : run_.Entries) {
        BcdModeRecord r = NonStdRecord(e);
        list.insert(list.end(), r.begin(), r.end());
    }
    std::vector<Bytes> kept = keptRecords_;
    std::stable_partition(kept.begin(), kept.end(), [](const Bytes& r) { return r.size() == sizeof(BcdModeRecord); });
    for (const Bytes& r : kept) list.insert(list.end(), r.begin(), r.end());
    return list;
}

}  // namespace kv
