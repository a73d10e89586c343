// The main window and profiles: what it holds written as one, and one read
// into its grid and boxes, where OK saves it as any other change.
#include <algorithm>

#include "app/KVMAIN.h"
#include "lang/Lang.h"
#include "lang/MessageBoxes.h"
#include "modes/MonitorRates.h"
#include "platform/Edid.h"
#include "platform/Text.h"
#include "platform/Settings.h"

namespace kv {

namespace {

std::string RateText(std::uint8_t rate) {
    return rate == kAllRatesRestricted ? LangText(kTxtNoneRate) : std::to_string(rate) + " " + LangText(kTxtHz);
}

std::string CustomListText(const std::vector<NonStdEntry>& entries) {
    std::vector<std::string> parts;
    for (const NonStdEntry& e : entries) parts.push_back(CustomResolutionText(e));
    return parts.empty() ? LangText(kTxtNoneRate) : Enumeration(parts);
}

// What an option box sets, as a profile says it.
OptionSetting SettingOf(const TTSCheckBox& box) {
    if (box.state == ui::CheckState::Grayed) return OptionSetting::Default;
    bool one = (box.state == ui::CheckState::Checked) != box.RegistryKeyInverted;
    return one ? OptionSetting::One : OptionSetting::Zero;
}

ui::CheckState StateFor(const TTSCheckBox& box, OptionSetting setting) {
    if (setting == OptionSetting::Default) return ui::CheckState::Grayed;
    bool checked = (setting == OptionSetting::One) != box.RegistryKeyInverted;
    return checked ? ui::CheckState::Checked : ui::CheckState::Unchecked;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// The custom resolutions a profile gives, each once.
std::vector<NonStdEntry> EachOnce(const std::vector<NonStdEntry>& entries) {
    std::vector<NonStdEntry> once;
    for (const NonStdEntry& e : entries)
        if (std::find(once.begin(), once.end(), e) == once.end()) once.push_back(e);
    return once;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

}  // namespace

std::vector<TTSCheckBox*> TForm1::BoundOptionBoxes() {
    std::vector<TTSCheckBox*> boxes = options.desktop;
    boxes.insert(boxes.end(), options.driver.begin(), options.driver.end());
    return boxes;
}

Profile TForm1::ProfileOfWindow() {
    Profile p;
    p.program = std::string(kProgramTitle) + " " + kVersionText;
    p.made = platform.system.LocalTimeText();
    p.adapter = lbCardType->text.empty() ? lbChip->text : lbCardType->text;
    p.adapterId = "VEN_" + adapter.VendorID + "&DEV_" + adapter.DeviceID + "&SUBSYS_" + adapter.SubSystemID +
                  adapter.SubSystemVendorID + "&REV_" + adapter.Revision;
    p.monitor = monitor.edid ? EdidDisplayName(*monitor.edid) : LangText(kTxtUnknownMonitor);
    p.monitorId = MonitorModel(monitor);
    if (!state.DriverListsUnreadable) {
        p.rates.emplace();
        for (const ResolutionRow& row : modes.ResolutionRows)
            if (row.selected != 0) p.rates->push_back({row.width, row.height, row.selected});
        const ui::Control* depths[] = {cb8, cb16, cb24, cb32};
        for (std::size_t i = 0; i < p.depths.size(); ++i) p.depths[i] = depths[i]->Checked();
    }
    for (TTSCheckBox* box : BoundOptionBoxes()) p.options.push_back({Trimmed(box->RegistryKey), SettingOf(*box)});
    if (options.aniso->state != ui::CheckState::Grayed)
        p.anisoDegree = options.aniso->Checked() ? options.anisoDegree->text : "off";
    if (profileCustom) {
        p.custom = profileCustom;
    } else {
        SharedRegistry probe(platform.registry);
        if (probe.OpenKey("\\" + adapter.DeviceKey, false)) {
            StoredNonStdList read = ReadNonStdLists(probe);
            if (!read.unreadable[0]) p.custom = read.entries;
        }
    }
    return p;
}

TForm1::ProfileLoad TForm1::LoadProfile(const Profile& profile, bool skipOutsideRange) {
    ProfileLoad load;
    bool anyDepth = std::any_of(profile.depths.begin(), profile.depths.end(), [](const auto& d) { return d.has_value(); });
    if ((profile.rates || anyDepth) && state.DriverListsUnreadable) {
        load.skipped.push_back(LangText(kWhySkipListsLocked));
    } else {
        if (profile.rates) LoadRates(*profile.rates, skipOutsideRange, load);
        LoadDepths(profile.depths, load);
    }
    LoadOptions(profile.options, load);
    if (profile.anisoDegree) LoadAnisoDegree(*profile.anisoDegree, load);
    if (profile.custom) LoadCustomResolutions(EachOnce(*profile.custom), load);
    return load;
}

void TForm1::LoadDepths(const std::array<std::optional<bool>, 4>& wanted, ProfileLoad& load) {
    ui::Control* boxes[] = {cb8, cb16, cb24, cb32};
    std::array<bool, 4> allowed{};
    for (std::size_t i = 0; i < allowed.size(); ++i) allowed[i] = wanted[i].value_or(boxes[i]->Checked());
    // With every depth kept out no mode would be left: 32 bits stays, as OK has it.
    if (std::none_of(allowed.begin(), allowed.end(), [](bool a) { return a; })) {
        allowed[3] = true;
        load.skipped.push_back(LangText(kMsgAllDepthsOff));
    }
    for (std::size_t i = 0; i < allowed.size(); ++i) {
        if (allowed[i] == boxes[i]->Checked()) continue;
        load.changes.push_back({LangCount(kTxtProfileDepthItem, kProfileDepths[i]),
                                allowed[i] ? "1" : "0", allowed[i] ? "0" : "1"});
        boxes[i]->SetState(allowed[i] ? ui::CheckState::Checked : ui::CheckState::Unchecked);
    }
}

void TForm1::LoadOptions(const std::vector<ProfileOption>& wanted, ProfileLoad& load) {
    std::vector<TTSCheckBox*> boxes = BoundOptionBoxes();
    for (const ProfileOption& option : wanted) {
        auto found = std::find_if(boxes.begin(), boxes.end(),
                                  [&](TTSCheckBox* b) { return SameNoCase(Trimmed(b->RegistryKey), option.name); });
        if (found == boxes.end()) {
            load.skipped.push_back(LangText(kWhySkipNoOption, {option.name}));
            continue;
        }
        TTSCheckBox& box = **found;
        if (SettingOf(box) == option.setting) continue;
        // A box whose key is not there has nothing to set.
        if (!box.KeyFound) {
            load.skipped.push_back(LangText(kWhySkipNoOptionKey, {option.name}));
            continue;
        }
        load.changes.push_back({option.name, OptionSettingText(option.setting), OptionSettingText(SettingOf(box))});
        box.SetState(StateFor(box, option.setting));
    }
}

void TForm1::LoadRates(const std::vector<ProfileRate>& rates, bool skipOutsideRange, ProfileLoad& load) {
    for (const ProfileRate& r : rates) {
        auto row = std::find_if(modes.ResolutionRows.begin(), modes.ResolutionRows.end(),
                                [&](const ResolutionRow& x) { return x.width == r.width && x.height == r.height; });
        std::string resolution = std::to_string(r.width) + "x" + std::to_string(r.height);
        if (row == modes.ResolutionRows.end()) {
            load.skipped.push_back(LangText(kWhySkipNoResolution, {resolution}));
            continue;
        }
        if (r.rate != kAllRatesRestricted &&
            std::find(row->rates.begin(), row->rates.end(), r.rate) == row->rates.end()) {
            load.skipped.push_back(LangText(kWhySkipRateNotOffered, {resolution, std::to_string(r.rate)}));
            continue;
        }
        if (row->selected == r.rate) continue;
        ModeVerdict verdict = JudgeRate(monitor.Declared(), *row, r.rate);
        if (skipOutsideRange && r.rate != kAllRatesRestricted && verdict.kind == ModeVerdict::Kind::Outside) {
            load.skipped.push_back(OutsideLine(*row, r.rate, verdict));
            continue;
        }
        load.changes.push_back({resolution, RateText(r.rate), RateText(row->selected)});
        row->selected = r.rate;
    }
    grid.Fill();
}

void TForm1::LoadAnisoDegree(const std::string& degree, ProfileLoad& load) {
    ui::Control& box = *options.aniso;
    bool off = degree == "off";
    std::string was = box.state == ui::CheckState::Grayed ? LangText(kTxtUnknownMonitor)
                      : box.Checked()                     ? options.anisoDegree->text
                                                          : "off";
    if (was == degree) return;
    load.changes.push_back({kAnisoDegreeValue, degree, was});
    box.SetState(off ? ui::CheckState::Unchecked : ui::CheckState::Checked);
    options.anisoDegree->enabled = !off;
    if (!off) options.anisoDegree->text = degree;
}

void TForm1::LoadCustomResolutions(const std::vector<NonStdEntry>& entries, ProfileLoad& load) {
    SharedRegistry probe(platform.registry);
    StoredNonStdList read;
    if (!probe.OpenKey("\\" + adapter.DeviceKey, false) || (read = ReadNonStdLists(probe)).unreadable[0]) {
        load.skipped.push_back(LangText(kWhySkipCustomLocked));
        return;
    }
    std::vector<NonStdEntry> now = profileCustom.value_or(read.entries);
    if (now == entries) return;
    if (entries.size() + read.kept.size() > kMaxListRecords) {
        load.skipped.push_back(LangCount(kMsgListTooManyRecords, entries.size() + read.kept.size()));
        return;
    }
    load.changes.push_back({LangText(kTxtProfileCustomItem), CustomListText(entries), CustomListText(now)});
    profileCustom = entries;
}

void TForm1::SaveProfileClick() {
    if (CheckPending()) return;
    if (!state.StartupComplete) {
        ShowError(platform.system, LangText(kMsgStartupIncomplete));
        return;
    }
    if (std::optional<std::size_t> bad = grid.StoreVisibleBoxes()) {
        ShowRateError(*bad);
        return;
    }
    std::optional<std::string> file = platform.system.AskFileName(
        ISystem::FileDialog::Save, LangText(kMenuSaveProfile), LangText(kTxtProfileFilter), "ini");
    if (!file) return;
    if (platform.system.WriteFile(*file, ProfileText(ProfileOfWindow())))
        platform.system.ShowMessageBox(LangText(kMsgProfileSaved, {*file}), kProgramTitle, kMbOk);
    else
        ShowError(platform.system, LangText(kMsgProfileNotWritten, {*file}));
}

void TForm1::LoadProfileClick() {
    if (CheckPending()) return;
    if (std::optional<LangEntry> refusal = state.SaveRefusal()) {
        ShowError(platform.system, LangText(*refusal));
        return;
    }
    if (std::optional<std::size_t> bad = grid.StoreVisibleBoxes()) {
        ShowRateError(*bad);
        return;
    }
    std::optional<std::string> file = platform.system.AskFileName(
        ISystem::FileDialog::Open, LangText(kMenuLoadProfile), LangText(kTxtProfileFilter), "ini");
    if (!file) return;
    ProfileReading reading = ReadProfileFile(platform.system, *file);
    if (!reading.profile) {
        ShowError(platform.system, LangText(kMsgProfileUnusable, {*file, reading.problem}));
        return;
    }
    ProfileLoad load = LoadProfile(*reading.profile, false);
    if (!load.skipped.empty())
        ShowWarning(platform.system, LangText(kMsgProfileNotAllLoaded, {*file}) + "\n\n" + Lines(load.skipped) +
                                         "\n\n" + LangText(kMsgProfileRestLoaded));
}

}  // namespace kv
