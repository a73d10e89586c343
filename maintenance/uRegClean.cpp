#include "maintenance/uRegClean.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "lang/Lang.h"
#include "maintenance/ModeCheckSchedule.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"
#include "platform/Text.h"

namespace kv {

namespace {

constexpr const char* kAtiSoftwareKey = "SOFTWARE\\ATI Technologies";
constexpr const char* kServicesKey = "SYSTEM\\CurrentControlSet\\Services";
constexpr const char* kClassKey = "SYSTEM\\CurrentControlSet\\Control\\Class";
constexpr const char* kVideoKey = "SYSTEM\\CurrentControlSet\\Control\\Video";
constexpr const char* kLinePrefix = "HKLM\\";

// The service control manager's start type of a boot driver.
constexpr std::uint16_t kServiceBootStart = 0;

// The driver's services and files are named in lower case; "ATI..." is
// somebody else's.
bool BeginsWithAti(const std::string& text) { return text.compare(0, 3, "ati") == 0; }

bool IsTextType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

// Whether the text value names one of the driver's files.
bool NamesAtiFile(IRegistry& reg, const std::string& key, const char* valueName) {
    // A number or bytes stored under the name name no file.
    RegValue stored;
    if (reg.QueryValue(key, valueName, stored) != RegStatus::Ok || !IsTextType(stored.type)) return false;
    std::string text;
    if (ReadTextValue(reg, key, valueName, text) != kDone) return false;
    return BeginsWithAti(text);
}

std::size_t CountKeys(IRegistry& reg, const std::string& path) {
    std::size_t count = 1;
    for (const std::string& name : reg.SubKeyNames(path)) count += CountKeys(reg, path + "\\" + name);
    return count;
}

// Looked up in its parent's list rather than opened, so that a key left
// behind that denies reading still counts as there.
bool KeyListed(IRegistry& reg, const std::string& path) {
    std::size_t slash = path.rfind('\\');
    std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
    std::string name = path.substr(slash + 1);
    std::vector<std::string> names = reg.SubKeyNames(parent);
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return SameNoCase(n, name); });
}

// Two branches whose paths differ only in characters a file name cannot hold
// must not share an export: the second would replace the first one's.
std::string UniqueFileName(const std::string& fileName, std::set<std::string>& used) {
    const std::string ext = ".reg";
    std::string stem = fileName.substr(0, fileName.size() - ext.size()), name = fileName;
    for (int n = 2;; ++n) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (used.insert(lower).second) return name;
        name = stem + "_" + std::to_string(n) + ext;
    }
}

}  // namespace

std::string CleanExportFileName(const std::string& branch) {
    std::string name = branch;
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 32 || std::string("\\/:*?\"<>|").find(c) != std::string::npos) c = '_';
    return "clean_" + name + ".reg";
}

TFRegClean::TFRegClean(Platform& platform, RunSnapshots& run, std::string deviceKey)
    : Dialog("TFRegClean", kTxtCleanCaption, 560, 331),
      platform_(platform),
      run_(run),
      deviceKey_(std::move(deviceKey)) {
    clbBranch.showAccel = false;
    mWarning.textColor = ui::kRed;
    Create({{bOK, [this] { bOKClick(); }}, {bCancel, [this] { bCancelClick(); }}});
}

void TFRegClean::FormCreate() {
    // The English warning is stored as two lines; the box wraps it as one
    // text, as it does a translation's single line.
    std::string& warning = mWarning.text;
    for (std::size_t at; (at = warning.find("\r\n")) != std::string::npos;) warning.erase(at, 2);

    Branches.clear();
    loadedAtBoot_.clear();
    clbBranch.items.clear();
    clbBranch.itemChecks.clear();
    if (platform_.registry.KeyExists(kAtiSoftwareKey)) AddBranch(kAtiSoftwareKey);
    FindServices();
    FindDriverInstances(kClassKey, "InfSection");
    FindDriverInstances(kVideoKey, "drv");
}

void TFRegClean::AddBranch(const std::string& path, bool loadedAtBoot) {
    ui::Control& list = clbBranch;
    Branches.push_back(path);
    loadedAtBoot_.push_back(loadedAtBoot);
    list.items.push_back(kLinePrefix + path + (loadedAtBoot ? "  " + LangText(kTxtLoadedAtBoot) : ""));
    list.itemChecks.push_back(!loadedAtBoot);
}

void TFRegClean::FindServices() {
    for (const std::string& name : platform_.registry.SubKeyNames(kServicesKey)) {
        if (name.size() <= 3 || !BeginsWithAti(name)) continue;
        std::string path = std::string(kServicesKey) + "\\" + name;
        AddBranch(path, LoadedAtBoot(path));
    }
}

void TFRegClean::FindDriverInstances(const std::string& root, const char* valueName) {
    IRegistry& reg = platform_.registry;
    for (const std::string& group : reg.SubKeyNames(root)) {
        std::string groupKey = root + "\\" + group;
        for (const std::string& instance : reg.SubKeyNames(groupKey)) {
            std::string path = groupKey + "\\" + instance;
            if (NamesAtiFile(reg, path, valueName)) AddBranch(path);
        }
    }
}

// Without its boot driver Windows may not start at all (a disk controller's,
// for one), whatever the user checks.
bool TFRegClean::LoadedAtBoot(const std::string& serviceKey) {
    std::uint16_t start = 0xFFFF;
    return ReadDwordValue(platform_.registry, serviceKey, "Start", start) == kDone && start == kServiceBootStart;
}

void TFRegClean::bOKClick() {
    const std::vector<bool>& checks = clbBranch.itemChecks;
    std::vector<Outcome> outcomes;
    for (std::size_t i = 0; i < Branches.size(); ++i)
        if (i < checks.size() && checks[i])
            outcomes.push_back({Branches[i], loadedAtBoot_[i] ? Fate::LoadedAtBoot : Fate::Deleted});
    closed = true;
    if (outcomes.empty()) return;

    // The start-up exports read the device key, which may lie in a branch
    // about to go: they must be done before anything is deleted.
    FinishSnapshot(platform_, run_.firstRun);
    FinishSnapshot(platform_, run_.backup);

    // Every branch is exported before the first is deleted, so the exports
    // show the registry as the clean found it.
    std::set<std::string> usedNames;
    for (Outcome& o : outcomes) {
        if (o.fate == Fate::LoadedAtBoot) continue;
        if (!KeyListed(platform_.registry, o.branch))
            o.fate = Fate::Gone;
        else if (!Export(o.branch, UniqueFileName(CleanExportFileName(o.branch), usedNames)))
            o.fate = Fate::ExportFailed;
    }
    bool deletedAny = false;
    for (Outcome& o : outcomes) {
        if (o.fate != Fate::Deleted) continue;
        o.fate = Delete(o.branch);
        deletedAny = deletedAny || o.fate == Fate::Deleted || o.fate == Fate::PartlyDeleted;
    }

    // A check pending for after the restart would import its snapshot into
    // keys that are gone.
    std::string report = Report(outcomes, deletedAny);
    if (deletedAny && !CancelModeCheck(platform_)) report += "\n\n" + LangText(kMsgCheckNotCancelled);
    platform_.system.ShowMessageBox(report, kProgramTitle, kMbOk);
    // The main window's settings describe a driver that is gone: the program
    // ends without writing or importing anything.
    if (deletedAny) platform_.system.EndProgram(0);
}

void TFRegClean::bCancelClick() { closed = true; }

bool TFRegClean::Export(const std::string& branch, const std::string& fileName) {
    PendingSnapshot pending = StartSnapshot(platform_, fileName, branch);
    return FinishSnapshot(platform_, pending);
}

TFRegClean::Fate TFRegClean::Delete(const std::string& branch) {
    IRegistry& reg = platform_.registry;
    std::size_t before = CountKeys(reg, branch);
    // Its answer is not trusted: what is left in the registry decides.
    reg.DeleteKey(branch);
    if (!KeyListed(reg, branch)) return Fate::Deleted;
    return CountKeys(reg, branch) < before ? Fate::PartlyDeleted : Fate::DeletionRefused;
}

std::string TFRegClean::Report(const std::vector<Outcome>& outcomes, bool restartNeeded) {
    std::string deleted, partly, kept;
    bool exported = false;
    for (const Outcome& o : outcomes) {
        std::string line = "    " + std::string(kLinePrefix) + o.branch;
        switch (o.fate) {
            case Fate::Deleted: deleted += line + "\n"; break;
            case Fate::PartlyDeleted: partly += line + "\n"; break;
            case Fate::DeletionRefused: kept += LangText(kMsgCleanRefused, {line}) + "\n"; break;
            case Fate::ExportFailed: kept += LangText(kMsgCleanNotExported, {line}) + "\n"; break;
            case Fate::LoadedAtBoot: kept += LangText(kMsgCleanBootService, {line}) + "\n"; break;
            case Fate::Gone: kept += LangText(kMsgCleanGone, {line}) + "\n"; break;
        }
        exported = exported || o.fate == Fate::Deleted || o.fate == Fate::PartlyDeleted ||
                   o.fate == Fate::DeletionRefused;
    }
    std::string text;
    if (!deleted.empty()) text += LangText(kMsgCleanDeleted) + "\n" + deleted + "\n";
    if (!partly.empty()) text += LangText(kMsgCleanPartly) + "\n" + partly + "\n";
    if (!kept.empty()) text += LangText(kMsgCleanKept) + "\n" + kept + "\n";
    if (exported) {
        std::string folder = GetInstallDir(platform_.registry);
        if (folder == ".") folder = platform_.system.CurrentDirectory();
        text += LangText(kMsgCleanExported, {folder}) + "\n";
    }
    if (restartNeeded)
        text += "\n" + LangText(kMsgCleanRestart);
    return text;
}

}  // namespace kv
