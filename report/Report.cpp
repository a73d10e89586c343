#include "report/Report.h"

#include "lang/Lang.h"
#include "maintenance/Snapshots.h"
#include "modes/MonitorRates.h"
#include "platform/Launch.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"
#include "platform/Text.h"

namespace kv {

const std::array<ReportExport, 8> kReportExports{{
    {"ati2mtaa.reg", "SYSTEM\\CurrentControlSet\\Services\\ati2mtaa"},
    {"ati2mtag.reg", "SYSTEM\\CurrentControlSet\\Services\\ati2mtag"},
    {"atimtag.reg", "SYSTEM\\CurrentControlSet\\Services\\atimtag"},
    {"ati2mpaa.reg", "SYSTEM\\CurrentControlSet\\Services\\ati2mpaa"},
    {"ati2mpag.reg", "SYSTEM\\CurrentControlSet\\Services\\ati2mpag"},
    {"class.reg", "SYSTEM\\CurrentControlSet\\Control\\Class"},
    {"video.reg", "SYSTEM\\CurrentControlSet\\Control\\Video"},
    {"ati.reg", "Software\\ATI Technologies"},
}};

namespace {

constexpr const char* kCrLf = "\r\n";
// The batch file's joined temporaries.
constexpr const char* kJoined = "0.tmp";
constexpr const char* kJoining = "1.tmp";

const std::string kSeparator(80, '-');

std::string Line(const std::string& text) { return text + kCrLf; }

std::string RowLine(const ResolutionRow& row) {
    std::string line = std::to_string(row.width) + "x" + std::to_string(row.height) + " Refresh Rates:";
    for (std::uint8_t rate : row.rates) line += " " + std::to_string(rate);
    return line + " Selected: " + std::to_string(row.selected);
}

// A line of the batch file that appends twelve hyphens to the joined file.
std::string BatchSeparator() { return "echo " + std::string(12, '-') + ">> " + kJoined; }

ReportResult Failure(const std::string& text) { return {false, text, LangText(kMsgError)}; }

// The log and the batch file: entries 29 and 30.
ReportResult TemporaryFileFailure() { return {false, LangText(kMsgNoTemporaryFile), LangText(kMsgError)}; }

void RemoveTemporaries(Platform& p) {
    p.system.RemoveFile(InstallFile(p.registry, kReportLogFile));
    for (const ReportExport& e : kReportExports) p.system.RemoveFile(InstallFile(p.registry, e.file));
}

std::string ExportParameters(const ReportExport& e) {
    return std::string("/e ") + e.file + " " + BranchParameter(e.key);
}

// Starts every export at once, as the registry editor can run several
// times side by side, then waits for each. A branch that does not exist
// gets an empty file: the editor would write none, and the batch file
// joins every file of the list. Nothing when all are there.
std::optional<ReportResult> ExportBranches(Platform& p, const std::string& installDir) {
    struct Running {
        const ReportExport& branch;
        std::uintptr_t editor;
    };
    std::vector<Running> running;
    for (const ReportExport& e : kReportExports) {
        std::string file = InstallFile(p.registry, e.file);
        // A file left by an earlier report must not pass for this one's.
        p.system.RemoveFile(file);
        if (!p.registry.KeyExists(e.key)) {
            if (!p.system.WriteFile(file, "")) return TemporaryFileFailure();
            continue;
        }
        running.push_back({e, LaunchProgram(p.system, "regedit.exe", ExportParameters(e), installDir, kShowNormal)});
        if (!running.back().editor)
            return Failure(LangText(kMsgReportNoEditor));
    }
    for (const auto& [e, editor] : running) {
        if (!p.system.WaitForProgram(editor, kExportWaitMs))
            return Failure(LangText(kMsgReportExportLate, {std::string("HKEY_LOCAL_MACHINE\\") + e.key}));
        std::string file = InstallFile(p.registry, e.file);
        // The editor writes no file for a branch it cannot read.
        if (!p.system.ReadFile(file) && !p.system.WriteFile(file, "")) return TemporaryFileFailure();
    }
    return std::nullopt;
}

// The monitor: what its EDID declares, each row's chosen rate judged
// against it, and the EDID's bytes.
std::string MonitorLines(const ReportFacts& facts) {
    static const MonitorInfo none;
    const MonitorInfo& monitor = facts.monitor ? *facts.monitor : none;
    if (!monitor.edid) {
        const char* why = "no monitor";
        if (monitor.state == MonitorInfo::State::NoEdid) why = "no EDID";
        if (monitor.state == MonitorInfo::State::Unreadable) why = "EDID unreadable";
        if (monitor.problem == EdidProblem::TooShort) why = "EDID too short";
        if (monitor.problem == EdidProblem::NoHeader) why = "EDID without header";
        if (monitor.problem == EdidProblem::BadChecksum) why = "EDID checksum wrong";
        if (monitor.problem == EdidProblem::BadVersion) why = "EDID version unknown";
        return Line(std::string("Monitor: not known (") + why + ")" +
                    (monitor.instanceKey.empty() ? "" : " " + monitor.instanceKey));
    }
    const Edid& edid = *monitor.edid;
    std::string lines = Line("Monitor: " + EdidDisplayName(edid) + " " + monitor.instanceKey);
    lines += Line("EDID version: " + EdidVersionText(edid));
    if (const auto& r = edid.range)
        lines += Line("Range: " + std::to_string(r->minVerticalHz) + "-" + std::to_string(r->maxVerticalHz) + " Hz, " +
                      std::to_string(r->minHorizontalKHz) + "-" + std::to_string(r->maxHorizontalKHz) + " kHz, " +
                      std::to_string(r->maxClockMHz) + " MHz");
    else
        lines += Line("Range: none");
    lines += Line("Chosen rates:");
    for (const ResolutionRow& row : facts.rows) {
        ModeVerdict v = JudgeRate(&edid, row, row.selected);
        if (v.kind == ModeVerdict::Kind::Unknown && row.selected == 0) continue;
        const char* kind = v.kind == ModeVerdict::Kind::Inside    ? "inside"
                           : v.kind == ModeVerdict::Kind::Outside ? "outside"
                                                                  : "unknown";
        lines += Line(std::to_string(row.width) + "x" + std::to_string(row.height) + " " +
                      std::to_string(row.selected) + ": " + kind + " (" + FigureText(v.needs.horizontalKHz) +
                      " kHz, " + FigureText(v.needs.clockMHz) + " MHz)");
    }
    lines += Line("EDID:");
    std::string hex = EdidHex(edid.bytes);
    for (std::size_t at = hex.find('\n'); at != std::string::npos; at = hex.find('\n', at + 2)) hex.replace(at, 1, kCrLf);
    return lines + Line(hex);
}

}  // namespace

std::string RawModeList(IDisplay& display, const std::string& deviceName, std::uint32_t flags) {
    std::string list;
    DisplayMode previous;
    for (std::uint32_t i = 0; i < kMaxModesListed; ++i) {
        std::optional<DisplayMode> mode = display.EnumMode(deviceName, i, flags);
        if (!mode) break;
        if (mode->width == previous.width && mode->height == previous.height &&
            mode->frequency == previous.frequency)
            break;
        if (mode->width != previous.width || mode->height != previous.height)
            list += "\r" + std::to_string(mode->width) + "x" + std::to_string(mode->height) + ":";
        list += " " + std::to_string(mode->frequency);
        previous = *mode;
    }
    return list;
}

std::string ReportLog(Platform& p, const AdapterContext& adapter, const ReportFacts& facts) {
    std::string log = Line(std::string("Kelvane Version ") + kVersionText + " report file [Lang:" +
                           std::to_string(facts.langLoaded) + "(" + facts.langFileName + ")]");
    log += Line(kSeparator);
    std::uint16_t ignoreCaps = 0;
    ReadDwordValue(p.registry, kProductSettingsKey, kIgnoreMonitorCapsValue, ignoreCaps);
    log += Line(ignoreCaps > 0 ? "IgnoreMonitorCaps : Yes" : "IgnoreMonitorCaps : No");
    log += Line(adapter.DeviceKey);
    log += Line(kSeparator);
    log += Line("Modes:");
    for (const ResolutionRow& row : facts.rows) log += Line(RowLine(row));
    log += Line(kSeparator);
    log += MonitorLines(facts);
    log += Line(kSeparator);
    std::string boxes = "CB:";
    for (bool checked : facts.boxes) boxes += checked ? " TRUE" : " FALSE";
    log += Line(boxes);
    log += Line(kSeparator);
    log += Line("WinVer: " + adapter.WinVer);
    log += Line(kSeparator);
    log += Line("ClassID: " + adapter.ClassID);
    log += Line("VideoID: " + adapter.VideoID);
    log += Line(kSeparator);
    log += Line("ML2:");
    log += RawModeList(p.display, adapter.DeviceName, kEnumRawMode);
    log += "\rML0:" + std::string(kCrLf);
    log += RawModeList(p.display, adapter.DeviceName, 0);
    log += kCrLf;
    return log;
}

std::string RegExportAsAnsi(ISystem& system, const std::string& bytes) {
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE)
        return bytes;
    std::u16string wide;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             static_cast<unsigned char>(bytes[i + 1]) << 8));
    std::string text = Utf16ToUtf8(wide);
    // Every line, the last one too, ends in CR LF.
    std::string lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines += line + kCrLf;
        start = end + 1;
    }
    return system.EncodeText(lines, ISystem::CodePage::Ansi);
}

bool ConvertRegExport(ISystem& system, const std::string& path) {
    std::optional<std::string> bytes = system.ReadFile(path);
    if (!bytes) return false;
    std::string converted = RegExportAsAnsi(system, *bytes);
    return converted == *bytes || system.WriteFile(path, converted);
}

std::string ReportBatch(const std::string& installDir) {
    std::vector<std::string> lines{"@echo off", std::string("del ") + kReportFile,
                                   std::string("copy ") + kReportExports[0].file + " " + kJoined,
                                   std::string("del ") + kReportExports[0].file, BatchSeparator()};
    for (std::size_t i = 1; i < kReportExports.size(); ++i) {
        const std::string file = kReportExports[i].file;
        // Joined as text, copy would end every joined file with ^Z, and the
        // next line of hyphens would land behind it, where the next join
        // stops reading.
        lines.push_back(std::string("copy /b ") + kJoined + " + " + file + " " + kJoining);
        lines.push_back("del " + file);
        lines.push_back(std::string("del ") + kJoined);
        lines.push_back(std::string("ren ") + kJoining + " " + kJoined);
        lines.push_back(BatchSeparator());
    }
    const std::string rpt = std::string("\"") + kReportFile + "\"";
    const std::string log = std::string("\"") + kReportLogFile + "\"";
    lines.push_back("copy /b " + log + " + " + kJoined + " " + kJoining);
    lines.push_back("del " + log);
    lines.push_back(std::string("del ") + kJoined);
    lines.push_back(std::string("ren ") + kJoining + " " + rpt);
    // The interpreter reads "%" in a batch file as the start of a variable,
    // quoted or not; "%%" is one "%".
    std::string folder;
    for (char c : installDir) folder += c == '%' ? std::string("%%") : std::string(1, c);
    const std::string packed = "\"" + folder + "\\" + kReportFile + "\"";
    lines.push_back("makecab " + packed + " " + packed);
    lines.push_back(std::string("del ") + kReportBatchFile);
    std::string batch;
    for (const std::string& line : lines) batch += Line(line);
    return batch;
}

ReportResult CreateReport(Platform& p, const AdapterContext& adapter, const ReportFacts& facts) {
    const std::string installDir = GetInstallDir(p.registry);
    const std::string rpt = InstallFile(p.registry, kReportFile);
    // Only a cabinet made by this run may be called saved.
    if (!p.system.FindFiles(rpt).empty() && !p.system.RemoveFile(rpt))
        return Failure(LangText(kMsgReportOldFile, {rpt}));
    p.system.RemoveFile(InstallFile(p.registry, kJoined));
    p.system.RemoveFile(InstallFile(p.registry, kJoining));

    if (!p.system.WriteFile(InstallFile(p.registry, kReportLogFile),
                            p.system.EncodeText(ReportLog(p, adapter, facts), ISystem::CodePage::Ansi)))
        return TemporaryFileFailure();
    if (std::optional<ReportResult> failed = ExportBranches(p, installDir)) {
        RemoveTemporaries(p);
        return *failed;
    }
    for (const ReportExport& e : kReportExports) ConvertRegExport(p.system, InstallFile(p.registry, e.file));

    const std::string batch = InstallFile(p.registry, kReportBatchFile);
    if (!p.system.WriteFile(batch, p.system.EncodeText(ReportBatch(installDir), ISystem::CodePage::Oem))) {
        RemoveTemporaries(p);
        return TemporaryFileFailure();
    }
    std::uintptr_t run = LaunchProgram(p.system, batch, "", installDir, kShowHidden);
    if (!run) {
        RemoveTemporaries(p);
        p.system.RemoveFile(batch);
        return Failure(LangText(kMsgReportNoBatch, {batch}));
    }
    if (!p.system.WaitForProgram(run, kBatchWaitMs))
        return Failure(LangText(kMsgReportBatchLate, {batch, rpt}));

    std::optional<std::string> made = p.system.ReadFile(rpt);
    if (!made) return Failure(LangText(kMsgReportNotMade, {batch, rpt}));
    if (made->compare(0, 4, "MSCF") != 0)
        return Failure(LangText(kMsgReportNotPacked, {rpt}));
    return {true, LangText(kMsgReportSaved), LangText(kMsgReportSavedCaption)};
}

}  // namespace kv
