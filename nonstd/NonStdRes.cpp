#include "nonstd/NonStdRes.h"

#include <algorithm>
#include <optional>

#include "lang/Lang.h"
#include "lang/MessageBoxes.h"
#include "maintenance/DriverChange.h"
#include "maintenance/WriteSteps.h"
#include "modes/ModeRecords.h"
#include "nonstd/TNonStdResAdd.h"
#include "platform/SharedRegistry.h"

namespace kv {

TNonStRes::TNonStRes(Platform& platform, NonStandardRun& run, RunSnapshots& snapshots, std::string deviceKey,
                     std::function<ui::Form&(std::unique_ptr<ui::Form>)> open)
    : Dialog("TNonStRes", kTxtResolutionsCaption, 354, 304),
      platform_(platform),
      run_(run),
      snapshots_(snapshots),
      deviceKey_(std::move(deviceKey)),
      open_(std::move(open)) {
    // The close box is Cancel, and like every button waits for the editor.
    onCloseQuery = [this] {
        if (EditorOpen()) return false;
        BCancelClick();
        return true;
    };
    lbRes.showAccel = false;
    mWarning.textColor = ui::kRed;
    Create({{lbRes, [this] { bEditClick(); }},
            {bAdd, [this] { bAddClick(); }},
            {bRemove, [this] { bRemoveClick(); }},
            {bEdit, [this] { bEditClick(); }},
            {bOK, [this] { bOKClick(); }},
            {BCancel, [this] { BCancelClick(); }}});
}

void TNonStRes::FormCreate() {
    // The four lines of the warning run on as one text.
    mWarning.text = LangText(kTxtResolutionsWarning1) + LangText(kTxtResolutionsWarning2) +
                    LangText(kTxtResolutionsWarning3) + LangText(kTxtResolutionsWarning4);

    // The entries of earlier openings stay; the stored ones are merged in.
    SharedRegistry shared(platform_.registry);
    deviceKeyRead_ = shared.OpenKey("\\" + deviceKey_, false);
    if (deviceKeyRead_) {
        read_ = ReadNonStdLists(shared, run_.Entries);
    } else {
        read_ = StoredNonStdList{};
        read_.entries = run_.Entries;
        read_.stored.assign(kNonStandardValueCount, {});
    }
    run_.Entries = read_.entries;
    entriesAtOpening_ = run_.Entries;
    FillList();
    WarnAboutUnreadableValues();
}

void TNonStRes::WarnAboutUnreadableValues() {
    const std::vector<std::string>& problems = read_.problems;
    if (problems.empty()) return;
    std::string text =
        problems.size() == 1
            ? LangText(kMsgListValueUnreadable, {problems[0]})
            : LangText(kMsgListValuesUnreadable, {Enumeration(problems)});
    if (read_.unreadable[0]) text += " " + LangText(kMsgListCannotBeSaved, {kNonStandardListNames[0]});
    ShowWarning(platform_.system, text);
}

void TNonStRes::FillList() {
    ui::Control& list = lbRes;
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
        ShowError(platform_.system, LangText(kMsgListFull));
        return;
    }
    OpenEditor(false, {});
}

void TNonStRes::bEditClick() {
    if (EditorOpen()) return;
    int line = lbRes.itemIndex;
    if (line < 0 || static_cast<std::size_t>(line) >= run_.Entries.size()) return;
    editIndex_ = static_cast<std::size_t>(line);
    OpenEditor(true, run_.Entries[editIndex_]);
}

void TNonStRes::OpenEditor(bool editing, const NonStdEntry& entry) {
    auto accept = [this, editing](const NonStdEntry& e) {
        std::vector<std::string>& lines = lbRes.items;
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
    ui::Control& list = lbRes;
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
        ShowError(platform_.system, LangText(kMsgListKeyNotOpened, {"HKEY_LOCAL_MACHINE\\" + deviceKey_}));
        return;
    }
    auto write = [&] { WriteNonStdLists(shared, read_, run_.Entries); };
    if (ChangeDriverSettings(platform_, snapshots_, {deviceKey_}, LangText(kStopNonStandard),
                             write) != ChangeResult::Written)
        return;
    if (onWritten) onWritten();
    closed = true;
}

// Back to the list as this opening loaded it; nothing is written.
void TNonStRes::BCancelClick() {
    if (EditorOpen()) return;
    run_.Entries = entriesAtOpening_;
    closed = true;
}

bool TNonStRes::ListFitsAndCanBeWritten() {
    if (read_.unreadable[0]) {
        ShowError(platform_.system, LangText(kMsgListUnreadable, {kNonStandardListNames[0]}));
        return false;
    }
    if (RecordCount() > kMaxListRecords) {
        std::size_t records = RecordCount();
        ShowError(platform_.system,
                  read_.kept.empty()
                      ? LangCount(kMsgListTooManyRecords, records)
                      : LangCount(kMsgListTooManyKept, records, {LangCount(kTxtKeptRecords, read_.kept.size())}));
        return false;
    }
    return true;
}

}  // namespace kv
