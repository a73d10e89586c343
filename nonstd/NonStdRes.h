// The list dialog of the user's non-standard resolutions: it shows the
// entries of the driver's four list values, lets the user add, edit and
// remove entries, and writes them all into the first value.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lang/Dialog.h"
#include "lang/Entries.h"
#include "maintenance/Snapshots.h"
#include "nonstd/NonStdList.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

class SharedRegistry;
class TNonStResAdd;

class TNonStRes : public Dialog {
public:
    ui::Control& Label1 = Add(Kind::Label, "Label1", "", {8, 8, 338, 16}).Entry(kTxtResolutionsLabel);
    ui::Control& lbRes = Add(Kind::ListBox, "lbRes", "", {8, 26, 238, 160});
    ui::Control& bAdd = Add(Kind::Button, "bAdd", "", {254, 26, 92, 25}).Entry(kTxtAdd);
    ui::Control& bRemove = Add(Kind::Button, "bRemove", "", {254, 57, 92, 25}).Entry(kTxtRemove);
    ui::Control& bEdit = Add(Kind::Button, "bEdit", "", {254, 88, 92, 25}).Entry(kTxtEdit);
    ui::Control& bOK = Add(Kind::Button, "bOK", "", {254, 130, 92, 25}).Entry(kTxtOk);
    ui::Control& BCancel = Add(Kind::Button, "BCancel", "", {254, 161, 92, 25}).Entry(kTxtCancel);
    // Room for seven lines: translations of the warning take six.
    ui::Control& mWarning = Add(Kind::Memo, "mWarning", "", {8, 196, 338, 100});

    // `open` shows a new window (the main window's opener; it keeps the window alive for the run and returns it).
    TNonStRes(Platform& platform, NonStandardRun& run, RunSnapshots& snapshots, std::string deviceKey,
              std::function<ui::Form&(std::unique_ptr<ui::Form>)> open);

    // Loading; the constructor calls it.
    void FormCreate() override;
    void bAddClick();
    void bEditClick();
    void bRemoveClick();
    void bOKClick();
    void BCancelClick();

    TNonStResAdd* editor = nullptr;  // the open editor, if any
    // Called when List OK has written the list, which the driver reads at
    // boot.
    std::function<void()> onWritten;

private:
    // True while the editor is open; it is then brought to the front, since
    // it edits an entry of this list.
    bool EditorOpen();
    void OpenEditor(bool editing, const NonStdEntry& entry);
    void WarnAboutUnreadableValues();
    void FillList();
    std::size_t RecordCount() const { return run_.Entries.size() + read_.kept.size(); }
    // The refusals of List OK that come before anything is touched.
    bool ListFitsAndCanBeWritten();

    Platform& platform_;
    NonStandardRun& run_;
    RunSnapshots& snapshots_;
    std::string deviceKey_;
    std::function<ui::Form&(std::unique_ptr<ui::Form>)> open_;

    // The entries as loading left them; Cancel goes back to them.
    std::vector<NonStdEntry> entriesAtOpening_;
    // The values as this opening read them; their entries are run_.Entries.
    StoredNonStdList read_;
    bool deviceKeyRead_ = false;
    // The entry Edit was pressed on; the list cannot change while the
    // editor is open.
    std::size_t editIndex_ = 0;
};

}  // namespace kv
