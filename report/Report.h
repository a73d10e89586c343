// The diagnostic report: one file, "Kelvane.rpt", that a user can send to
// whoever helps them. It holds a text log of what Kelvane sees (settings,
// display modes, identifiers, the mode lists Windows reports) and exports of
// the driver's registry branches, joined by a batch file and compressed into
// a cabinet by the system's cabinet tool.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "modes/ModeRecords.h"
#include "platform/AdapterContext.h"
#include "platform/Monitor.h"
#include "platform/Platform.h"

namespace kv {

inline constexpr const char* kReportFile = "Kelvane.rpt";
inline constexpr const char* kReportLogFile = "Kelvane.txt";
inline constexpr const char* kReportBatchFile = "cpall.bat";

// One registry branch the report exports, and the file it goes to.
struct ReportExport {
    const char* file;
    const char* key;  // under HKEY_LOCAL_MACHINE
};
// In the order the batch file joins them.
extern const std::array<ReportExport, 8> kReportExports;

// What the log tells of the main window.
struct ReportFacts {
    std::uint16_t langLoaded = 0;
    std::string langFileName;
    std::vector<ResolutionRow> rows;
    // Fully checked or not: cb8, cb16, cb24, cb32, tcbOpenGL, tcbD3D,
    // tcbProjector, tcbRotation.
    std::array<bool, 8> boxes{};
    // The adapter's monitor; none, not known.
    const MonitorInfo* monitor = nullptr;
};

// The log "Kelvane.txt" as UTF-8, lines ending in CR LF.
std::string ReportLog(Platform& p, const AdapterContext& adapter, const ReportFacts& facts);

// The modes Windows enumerates for a display device, on one line: each new
// resolution starts with a bare carriage return, "WxH:", then every rate
// after a blank. The list ends at the first failed enumeration or at a mode
// that repeats the one before it in size and rate.
std::string RawModeList(IDisplay& display, const std::string& deviceName, std::uint32_t flags);

// An export in the registry editor's 16-bit text (with its byte-order mark)
// as 8-bit text in the system's ANSI code page, each line ending in CR LF.
// Text without the mark is returned as it is.
std::string RegExportAsAnsi(ISystem& system, const std::string& bytes);
// Rewrites one export file so; false when it cannot be read or written.
bool ConvertRegExport(ISystem& system, const std::string& path);

// The batch file that joins the log and the exports into "Kelvane.rpt" and
// compresses it in place; 46 lines, run in the installation directory.
std::string ReportBatch(const std::string& installDir);

struct ReportResult {
    bool saved = false;
    std::string text, caption;
};

// How long the report waits for one export, and for the batch file.
inline constexpr std::uint32_t kExportWaitMs = 60000;
inline constexpr std::uint32_t kBatchWaitMs = 120000;

// Makes "Kelvane.rpt" in the installation directory: writes the log,
// exports the branches and waits for each, converts them, then writes and
// runs the batch file and waits for it. Says saved only for a cabinet this
// run made; otherwise what went wrong.
ReportResult CreateReport(Platform& p, const AdapterContext& adapter, const ReportFacts& facts);

}  // namespace kv
