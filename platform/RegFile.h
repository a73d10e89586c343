// The registry editor's .reg files: what "regedit /e file KEY" writes for a
// branch of a registry held in memory, and what "regedit /s file" does with
// a file. Kelvane's snapshots are the real registry editor's exports, read
// here to be checked before one is imported; the simulated machine's editor
// writes and imports them with these, so they must match the real editor
// byte for byte.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryImage.h"

namespace kv {

// The first line of a file the registry editor writes (the older form of
// Windows 95 and NT 4 too), and the one root Kelvane's files name.
inline constexpr const char kRegHeader5[] = "Windows Registry Editor Version 5.00";
inline constexpr const char kRegHeader4[] = "REGEDIT4";
inline constexpr const char kRegRoot[] = "HKEY_LOCAL_MACHINE";

// The bytes regedit writes when exporting HKEY_LOCAL_MACHINE\keyPath with
// everything under it: UTF-16LE with its byte-order mark, CRLF line ends.
// Empty when the key does not exist (regedit then writes no file).
std::string ExportRegBranch(RegistryImage& reg, const std::string& keyPath);

// Applies a .reg file as a silent regedit import does: creates keys, sets the
// values named in the file and leaves all others alone, deletes [-KEY]
// branches and "name"=- values. Only HKEY_LOCAL_MACHINE sections reach this
// registry; sections of other roots are skipped. Lines regedit would reject
// are skipped one by one. Returns false, with a message, only when the bytes
// are not a registry file at all; nothing is changed then.
bool ImportRegFile(RegistryImage& reg, const std::string& fileBytes, std::string* error = nullptr);

// Whether a file is a whole export of HKEY_LOCAL_MACHINE\keyPath, as regedit
// writes one: it has the header, every line of it can be read, its first
// key is that key and all others lie below it, and it ends with the empty
// line regedit writes after the last value. Its contents are imported into
// `parsed`; `fault` says what is wrong.
struct SnapshotFault {
    enum Kind { None, NotRegistryFile, NotACopy, KeyOutside, LinesUnreadable, CutOff };
    Kind kind = None;
    std::string key;  // the key NotACopy wants, or the one KeyOutside found
};
bool CheckRegExport(const std::string& fileBytes, const std::string& keyPath, RegistryImage& parsed,
                    SnapshotFault* fault = nullptr);

// The same for a file that may hold several branches one after another, as
// a snapshot of all the keys Kelvane writes does: every key in it is one of
// `keyPaths` or lies below one that came before it. `branches` gets the
// keys of `keyPaths` the file holds, in file order.
bool CheckRegSnapshot(const std::string& fileBytes, const std::vector<std::string>& keyPaths, RegistryImage& parsed,
                      std::vector<std::string>& branches, SnapshotFault* fault = nullptr);

// Several exports of the registry editor as one file, as it would write
// them had it been asked for all the branches at once: the first file's
// header, then every branch. Nothing when a file is no export or their
// encodings differ.
std::optional<std::string> JoinRegExports(const std::vector<std::string>& files);

}  // namespace kv
