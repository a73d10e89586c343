#include "nonstd/NonStdList.h"

#include <algorithm>

#include "lang/Lang.h"
#include "maintenance/WriteSteps.h"
#include "modes/ModeRecords.h"
#include "platform/SharedRegistry.h"

namespace kv {

namespace {

// Sizes get two blanks when short, so that most lines line up.
std::string SizeText(std::uint16_t size) { return (size < 1000 ? "  " : "") + std::to_string(size); }

}  // namespace

std::string NonStdLine(const NonStdEntry& e) {
    std::string depth = e.depth == 0 ? LangText(kTxtAnyBpp) : std::to_string(e.depth);
    std::string refresh = e.refresh == 0 ? LangText(kTxtAnyRefresh) : std::to_string(e.refresh);
    return SizeText(e.width) + " x " + SizeText(e.height) + " x " + depth + " x " + refresh;
}

BcdModeRecord NonStdRecord(const NonStdEntry& e) { return EncodeModeRecord({e.width, e.height, e.depth, e.refresh}); }

void DecodeNonStdValue(const ListBuffer& buffer, std::size_t length, std::vector<NonStdEntry>& entries,
                       std::vector<Bytes>& kept) {
    std::vector<Bytes> notModes;
    for (const ModeEntry& r : DecodeList(buffer, length, &notModes)) {
        if (r.width == 0 || r.height == 0 || r.depth > kMaxNonStdDepthOrRate || r.rate > kMaxNonStdDepthOrRate) {
            // Valid BCD: encoding it again gives the bytes as stored.
            BcdModeRecord bytes = EncodeModeRecord(r);
            kept.emplace_back(bytes.begin(), bytes.end());
            continue;
        }
        NonStdEntry e{r.width, r.height, static_cast<std::uint8_t>(r.rate), static_cast<std::uint8_t>(r.depth)};
        if (std::find(entries.begin(), entries.end(), e) == entries.end()) entries.push_back(e);
    }
    KeepRawRecords(kept, notModes);
}

Bytes EncodeNonStdList(const std::vector<NonStdEntry>& entries, const std::vector<Bytes>& keptRecords) {
    Bytes list;
    for (const NonStdEntry& e : entries) {
        BcdModeRecord r = NonStdRecord(e);
        list.insert(list.end(), r.begin(), r.end());
    }
    std::vector<Bytes> kept = keptRecords;
    std::stable_partition(kept.begin(), kept.end(), [](const Bytes& r) { return r.size() == sizeof(BcdModeRecord); });
    for (const Bytes& r : kept) list.insert(list.end(), r.begin(), r.end());
    return list;
}

StoredNonStdList ReadNonStdLists(SharedRegistry& shared, std::vector<NonStdEntry> entries) {
    StoredNonStdList read;
    read.entries = std::move(entries);
    read.stored.assign(kNonStandardValueCount, {});
    for (std::size_t i = 0; i < kNonStandardValueCount; ++i) {
        const char* name = kNonStandardListNames[i];
        ListBuffer buffer = EmptyListBuffer();
        ValueInfo found;
        std::optional<std::size_t> length = shared.ReadBinary(name, buffer.data(), buffer.size(), &found);
        if (!length) {
            read.unreadable[i] = true;
            read.problems.push_back("'" + std::string(name) + "' (" + ByteValueProblem(found) + ")");
            continue;
        }
        read.stored[i].assign(buffer.begin(), buffer.begin() + static_cast<long>(*length));
        DecodeNonStdValue(buffer, *length, read.entries, read.kept);
    }
    return read;
}

void WriteNonStdLists(SharedRegistry& shared, const StoredNonStdList& read, const std::vector<NonStdEntry>& entries) {
    std::vector<Bytes> values = ListValuesToWrite(EncodeNonStdList(entries, read.kept), read.stored);
    for (std::size_t i = 0; i < kNonStandardValueCount; ++i)
        if (!read.unreadable[i]) WriteBinaryOrAbort(shared, kNonStandardListNames[i], values[i]);
}

bool ReplaceNonStdEntries(SharedRegistry& shared, const std::vector<NonStdEntry>& entries) {
    StoredNonStdList read = ReadNonStdLists(shared);
    if (read.unreadable[0]) throw CommandAborted(LangText(kMsgListUnreadable, {kNonStandardListNames[0]}));
    if (read.entries == entries) return false;
    WriteNonStdLists(shared, read, entries);
    return true;
}

}  // namespace kv
