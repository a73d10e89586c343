// The driver's mode lists and the modes Windows enumerates: the restricted
// lists and the non-standard list as arbitrary values of the device key, the
// display's enumeration as an arbitrary mode list, through the record
// decoder, the main window's resolution table and grid, the list dialog of
// extra resolutions and both OKs.
//
// Input: chunks of a tag byte, a 16-bit little-endian length and that many
// bytes (fewer at the end of the input). The tag's low four bits name what
// the bytes are:
//   0-4  DALRestrictedModesBCD, ...BCD1 to ...BCD4
//   5-8  DALNonStandardModesBCD, ...BCD1 to ...BCD3
//   9    the enumeration: 7 bytes a mode (width, height: 16 bits; depth: 8
//        bits; rate: 16 bits; little-endian)
//   10   switches: bit 0 PruningMode 0 (raw enumeration), bit 1 press OK in
//        the list dialog, bit 2 press the main window's OK, bit 3 answer
//        Yes to every question
// and its high four bits the value's registry type (0 binary).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "FuzzMachine.h"
#include "platform/DriverValues.h"
#include "platform/ModeRecord.h"

using namespace kv;

namespace {

struct Input {
    std::optional<RegValue> restricted[std::size(kRestrictedListNames)];
    std::optional<RegValue> nonStandard[std::size(kNonStandardListNames)];
    std::optional<std::vector<DisplayMode>> modes;
    std::uint8_t switches = 0;
};

Input Parse(const std::uint8_t* data, std::size_t size) {
    Input in;
    std::size_t at = 0;
    while (at < size) {
        std::uint8_t tag = data[at++];
        std::size_t length = 0;
        if (at < size) length = data[at++];
        if (at < size) length |= std::size_t{data[at++]} << 8;
        length = std::min(length, size - at);
        const std::uint8_t* bytes = data + at;
        at += length;
        unsigned slot = tag & 0x0F;
        std::uint32_t type = (tag >> 4) == 0 ? std::uint32_t{kRegBinary} : static_cast<std::uint32_t>(tag >> 4);
        RegValue value{type, Bytes(bytes, bytes + length)};
        if (slot < 5) {
            in.restricted[slot] = value;
        } else if (slot < 9) {
            in.nonStandard[slot - 5] = value;
        } else if (slot == 9) {
            std::vector<DisplayMode> modes;
            for (std::size_t i = 0; i + 7 <= length; i += 7) {
                const std::uint8_t* m = bytes + i;
                modes.push_back({std::uint32_t(m[0] | m[1] << 8), std::uint32_t(m[2] | m[3] << 8), std::uint32_t{m[4]},
                                 std::uint32_t(m[5] | m[6] << 8)});
            }
            in.modes = std::move(modes);
        } else if (slot == 10 && length > 0) {
            in.switches = bytes[0];
        }
    }
    return in;
}

// The whole 8-byte records of a list value, as Kelvane and the driver read
// them: up to the first one that begins with 0xFF, within 2048 bytes. Empty
// for a value Kelvane does not read as a list: a number, a text, or more
// than 2048 bytes (a value of any other type is read as binary data).
std::vector<Bytes> ListRecords(const std::optional<RegValue>& v) {
    std::vector<Bytes> out;
    if (!v || v->type == kRegDword || v->type == kRegSz || v->type == kRegExpandSz ||
        v->data.size() > kListBufferSize)
        return out;
    for (std::size_t at = 0; at + 8 <= v->data.size(); at += 8) {
        if (v->data[at] == 0xFF) break;
        out.emplace_back(v->data.begin() + static_cast<long>(at), v->data.begin() + static_cast<long>(at) + 8);
    }
    return out;
}

bool ValidBcd(const Bytes& r) {
    return std::all_of(r.begin(), r.end(), [](std::uint8_t b) { return (b >> 4) <= 9 && (b & 0x0F) <= 9; });
}

bool HoldsRecord(const Bytes& list, const Bytes& record) {
    for (std::size_t at = 0; at + 8 <= list.size(); at += 8)
        if (std::equal(record.begin(), record.end(), list.begin() + static_cast<long>(at))) return true;
    return false;
}

// The decoder on its own: every record it reads as a mode encodes back to
// the bytes it came from, and every other one, those beyond a 0xFF record
// too, is kept whole: together they are every byte of the value but the
// padding it ends with.
void CheckDecoder(const std::optional<RegValue>& v) {
    if (!v) return;
    ListBuffer buffer = EmptyListBuffer();
    std::size_t length = std::min(v->data.size(), buffer.size());
    std::copy_n(v->data.begin(), length, buffer.begin());
    std::vector<Bytes> raw;
    std::vector<ModeEntry> modes = DecodeList(buffer, length, &raw);
    std::size_t used = 0;
    for (const Bytes& r : raw) {
        if (r.empty() || r.size() > 8) fuzz::Fault("a kept record of " + std::to_string(r.size()) + " bytes");
        used += r.size();
    }
    for (const ModeEntry& m : modes) {
        BcdModeRecord again = EncodeModeRecord(m);
        used += 8;
        if (!HoldsRecord(Bytes(buffer.begin(), buffer.begin() + static_cast<long>(length)),
                         Bytes(again.begin(), again.end())))
            fuzz::Fault("a decoded mode does not encode back to its bytes");
    }
    if (used != LengthBeforePadding(buffer.data(), length))
        fuzz::Fault("the decoder lost or invented bytes of the value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in = Parse(data, size);
    for (const auto& v : in.restricted) CheckDecoder(v);
    for (const auto& v : in.nonStandard) CheckDecoder(v);

    fuzz::Machine m;
    for (std::size_t i = 0; i < std::size(kRestrictedListNames); ++i)
        if (in.restricted[i]) m.registry.SetValue(fuzz::kDeviceKey, kRestrictedListNames[i], *in.restricted[i]);
    for (std::size_t i = 0; i < std::size(kNonStandardListNames); ++i)
        if (in.nonStandard[i]) m.registry.SetValue(fuzz::kDeviceKey, kNonStandardListNames[i], *in.nonStandard[i]);
    if (in.switches & 1) m.registry.SetDword(fuzz::kDeviceKey, kPruningModeValue, 0);
    m.Boot();
    // Set after the boot: the simulated driver takes its own modes at boot.
    if (in.modes) m.display.enumeration = in.modes;
    if (in.switches & 8)
        for (int i = 0; i < 64; ++i) m.system.answers.push_back(kIdYes);

    TForm1 form(m.platform);
    if (!fuzz::StartMainWindow(form)) return 0;
    fuzz::CheckNoUnexpectedError(m.system);

    // The table as the grid shows it: rows in order, each row's rates
    // ascending, the choice one of its rates, none or all restricted.
    const auto& rows = form.modes.ResolutionRows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0 && (rows[i - 1].width > rows[i].width ||
                      (rows[i - 1].width == rows[i].width && rows[i - 1].height > rows[i].height)))
            fuzz::Fault("rows out of order");
        if (!std::is_sorted(rows[i].rates.begin(), rows[i].rates.end())) fuzz::Fault("rates out of order");
        std::uint8_t s = rows[i].selected;
        if (s != 0 && s != kAllRatesRestricted &&
            std::find(rows[i].rates.begin(), rows[i].rates.end(), s) == rows[i].rates.end())
            fuzz::Fault("a row's choice is none of its rates");
    }
    // The grid scrolled down to its last row, and up once.
    for (std::size_t i = 0; i < rows.size() && i < 300; ++i)
        if (!fuzz::Command(form, [&] { form["sbDown"].UserClick(); })) return 0;
    if (!fuzz::Command(form, [&] { form["sbUp"].UserClick(); })) return 0;

    if (in.switches & 2) {
        if (!fuzz::Command(form, [&] { form.bResClick(); })) return 0;
        fuzz::CheckNoUnexpectedError(m.system);
        if (!form.dialogs.empty() && form.dialogs.back()->name == "TNonStRes") {
            ui::Form& list = *form.dialogs.back();
            if (!fuzz::Command(form, [&] { list["bOK"].UserClick(); })) return 0;
            fuzz::CheckNoUnexpectedError(m.system);
            // A list written keeps every record read from the four values:
            // the entries, and byte for byte what no line shows. Nothing was
            // added, so the driver reads no whole record in it that was not
            // read.
            const RegValue* now = m.registry.Find(fuzz::kDeviceKey, kNonStandardListNames[0]);
            if (form.restartNeed.Written()) {
                if (!now) fuzz::Fault("the list dialog's OK left no list");
                Bytes read;
                for (const auto& v : in.nonStandard)
                    for (const Bytes& r : ListRecords(v)) {
                        if (!HoldsRecord(now->data, r))
                            fuzz::Fault(std::string("the list dialog's OK lost a record") +
                                        (ValidBcd(r) ? "" : " that is no valid mode"));
                        read.insert(read.end(), r.begin(), r.end());
                    }
                for (const Bytes& r : ListRecords(*now))
                    if (!HoldsRecord(read, r)) fuzz::Fault("the list dialog's OK wrote a whole record that was not read");
            }
        }
    }

    if (in.switches & 4) {
        RegValue before;
        bool had = m.registry.QueryValue(fuzz::kDeviceKey, kRestrictedListNames[0], before) == RegStatus::Ok;
        bool locked = form.state.DriverListsUnreadable;
        bool ended = !fuzz::Command(form, [&] { form.OKClick(); });
        if (!ended) fuzz::CheckNoUnexpectedError(m.system);
        const RegValue* after = m.registry.Find(fuzz::kDeviceKey, kRestrictedListNames[0]);
        bool changed = had ? (!after || after->type != before.type || after->data != before.data) : after != nullptr;
        if (locked && changed) fuzz::Fault("OK wrote a restricted list it could not read");
        // Records that are no valid mode are written back as they were.
        if (changed && after) {
            for (const auto& v : in.restricted)
                for (const Bytes& r : ListRecords(v))
                    if (!ValidBcd(r) && !HoldsRecord(after->data, r))
                        fuzz::Fault("OK lost a restricted record that is no valid mode");
        }
    }
    return 0;
}
