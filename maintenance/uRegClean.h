// The registry clean: before the display driver is installed anew, finds the
// registry branches the ATI driver and its software left in every driver
// instance of the machine, and deletes those the user leaves checked. Each
// branch is first exported by the registry editor into a file the user can
// double-click to put it back; a branch whose export is not a whole copy is
// not deleted.
#pragma once

#include <string>
#include <vector>

#include "lang/Dialog.h"
#include "lang/Entries.h"
#include "maintenance/Snapshots.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

// The file of the installation directory a branch is exported into before it
// is deleted: "clean_", the path with "\" and every character a Windows file
// name cannot hold made "_", and ".reg".
std::string CleanExportFileName(const std::string& branch);

class TFRegClean : public Dialog {
public:
    ui::Control& lbFB = Add(Kind::Label, "lbFB", "", {8, 8, 544, 16}).Entry(kTxtCleanLabel);
    // Wide enough for a class instance's path; longer lines scroll.
    ui::Control& clbBranch = Add(Kind::CheckListBox, "clbBranch", "", {8, 26, 544, 200});
    // The English warning takes three lines; translations get a fourth.
    ui::Control& mWarning = Add(Kind::Memo, "mWarning", "", {8, 234, 544, 56}).Entry(kTxtCleanWarning);
    ui::Control& bOK = Add(Kind::Button, "bOK", "", {392, 298, 75, 25}).Entry(kTxtOk);
    ui::Control& bCancel = Add(Kind::Button, "bCancel", "", {477, 298, 75, 25}).Entry(kTxtCancel);

    // `deviceKey`: the adapter's key; `run`: the run's snapshots, whose
    // exports still running are finished before anything is deleted.
    TFRegClean(Platform& platform, RunSnapshots& run, std::string deviceKey);

    // The search; the constructor calls it.
    void FormCreate() override;
    // Exports and deletes the checked branches and says what became of each.
    // After a clean that deleted anything the program ends: Windows must be
    // restarted and the driver installed again.
    void bOKClick();
    void bCancelClick();

    // The branches found, in order, as paths below HKEY_LOCAL_MACHINE,
    // parallel to clbBranch's items.
    std::vector<std::string> Branches;

private:
    // What became of a checked branch.
    enum class Fate { Deleted, PartlyDeleted, LoadedAtBoot, Gone, ExportFailed, DeletionRefused };
    struct Outcome {
        std::string branch;
        Fate fate = Fate::Deleted;
    };

    void AddBranch(const std::string& path, bool loadedAtBoot = false);
    void FindServices();
    // The subkeys two levels below `root` whose text value `valueName` names
    // an ATI driver file.
    void FindDriverInstances(const std::string& root, const char* valueName);
    bool LoadedAtBoot(const std::string& serviceKey);

    bool Export(const std::string& branch, const std::string& fileName);
    Fate Delete(const std::string& branch);
    std::string Report(const std::vector<Outcome>& outcomes, bool restartNeeded);

    Platform& platform_;
    RunSnapshots& run_;
    std::string deviceKey_;
    // Parallel to Branches: a service Windows loads at boot, never deleted.
    std::vector<bool> loadedAtBoot_;
};

}  // namespace kv
