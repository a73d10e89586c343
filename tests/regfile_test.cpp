// The .reg reader and writer against files Wine's regedit wrote itself (see
// tests/data/regedit/make_fixtures.sh for how they were made).
#include <gtest/gtest.h>

#include <optional>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/RegFile.h"
#include "platform/RegistryImage.h"
#include "platform/Text.h"

using namespace std::string_literals;

namespace kv {
namespace {

std::string Fixture(const std::string& name) {
    std::ifstream in(std::string(KELVANE_SOURCE_DIR) + "/tests/data/regedit/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A UTF-16 file as UTF-8 text, so that a mismatch shows as a readable diff.
std::string Readable(const std::string& file) {
    if (file.size() < 2 || file.compare(0, 2, "\xFF\xFE") != 0) return file;
    std::u16string units;
    for (std::size_t i = 2; i + 1 < file.size(); i += 2)
        units += static_cast<char16_t>(std::uint8_t(file[i]) | std::uint8_t(file[i + 1]) << 8);
    return "(UTF-16)\n" + Utf16ToUtf8(units);
}

#define EXPECT_SAME_FILE(ours, wine)                       \
    do {                                                   \
        EXPECT_EQ(Readable(ours), Readable(wine));         \
        EXPECT_TRUE((ours) == (wine)) << "byte mismatch"; \
    } while (0)

Bytes Data(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Counting(int n) {
    Bytes b;
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(i));
    return b;
}

const char kKey[] = "Software\\KvFixture";

void Put(RegistryImage& reg, const std::string& sub, const std::string& name, std::uint32_t type, const Bytes& data) {
    std::string path = sub.empty() ? kKey : kKey + "\\"s + sub;
    reg.CreateKey(path);
    reg.SetValue(path, name, RegValue{type, data});
}

// The same key make_fixtures.sh seeds in Wine, set in no particular order.
void SeedFixture(RegistryImage& reg) {
    Put(reg, "", "", kRegSz, Data("Default value\0"s));
    Put(reg, "", "TextNoTerminator", kRegSz, Data("C:\\Program Files\\ATI"));
    Put(reg, "", "Text", kRegSz, Data("hello\0"s));
    Put(reg, "", "TextEmpty", kRegSz, Data("\0"s));
    Put(reg, "", "TextNoData", kRegSz, {});
    Put(reg, "", "Quoted", kRegSz, Data("say \"hi\" to C:\\dir\\\0"s));
    Put(reg, "", "Lines", kRegSz, Data("one\ntwo\r\tthree\0"s));
    Put(reg, "", "Russian", kRegSz, Data("Ключ реестра не найден\0"s));
    Put(reg, "", "EmbeddedZero", kRegSz, Data("ab\0cd\0"s));
    Put(reg, "", "Emoji", kRegSz, Data("smile 😀\0"s));
    Put(reg, "", "значение", kRegSz, Data("да\0"s));
    reg.SetDword(kKey, "Dword", 0xabcd);
    reg.SetDword(kKey, "DwordMax", 0xffffffff);
    Put(reg, "", "DwordNoData", kRegDword, {});
    Put(reg, "", "BinShort", kRegBinary, {1, 2, 0xff});
    Put(reg, "", "BinEmpty", kRegBinary, {});
    Put(reg, "", "BinLong", kRegBinary, Counting(100));
    Put(reg, "", "BinLongName_abcdefghijklmnopqrstuvwxyz", kRegBinary, Counting(60));
    Put(reg, "", "n01234567890123456789012345678901234567890123456789012345678901234", kRegBinary, Counting(5));
    Put(reg, "", "n012345678901234567890123456789012345678901234567890123456789012345", kRegBinary, Counting(5));
    Put(reg, "", "back\\slash\"q", kRegBinary, Counting(30));
    Put(reg, "", "Ёлка", kRegBinary, Counting(30));
    Put(reg, "", "Expand", kRegExpandSz, Data("%SystemRoot%\\system32\0"s));
    Put(reg, "", "Multi", kRegMultiSz, Data("one\0two\0\0"s));
    Put(reg, "", "MultiRussian", kRegMultiSz, Data("Да\0Нет\0\0"s));
    Put(reg, "", "None", kRegNone, {1, 2});
    Put(reg, "", "BigEndian", kRegDwordBigEndian, Counting(4));
    Put(reg, "", "Qword", 0xb, Counting(8));
    Put(reg, "", "Type100", 0x100, Counting(3));
    for (auto [name, text] : {std::pair{"_under", "3"}, {"apple", "1"}, {"Banana", "2"}, {"a[b]", "7"},
                              {"Zeta", "4"}, {"ёж", "5"}})
        Put(reg, "", name, kRegSz, Data(text + "\0"s));
    for (const char* sub : {"b", "A", "a2", "_x", "Z", "~t", "aB", "1", "a b", "ключ", "Ёлка"})
        Put(reg, sub, "v", kRegSz, Data(sub + "\0"s));
    reg.CreateKey(kKey + "\\b\\Deep\\Deeper"s);
    reg.SetDword(kKey + "\\b\\Deep\\Deeper"s, "d", 1);
    reg.CreateKey(kKey + "\\EmptyKey"s);
}

TEST(RegExport, WritesTheSeededKeyExactlyAsWineRegeditDoes) {
    RegistryImage reg;
    SeedFixture(reg);
    EXPECT_SAME_FILE(ExportRegBranch(reg, kKey), Fixture("values.reg"));
}

TEST(RegExport, MissingKeyGivesNothing) {
    RegistryImage reg;
    EXPECT_EQ(ExportRegBranch(reg, "Software\\Nowhere"), "");
}

TEST(RegExport, DwordDataOfAnyLengthIsExportedAsFourBytes) {
    RegistryImage reg;
    Put(reg, "", "d", kRegDword, {1, 2, 3});
    Put(reg, "", "long", kRegDword, {1, 2, 3, 4, 5});
    std::string text = Readable(ExportRegBranch(reg, kKey));
    EXPECT_NE(text.find("\"d\"=dword:00030201\r\n"), std::string::npos) << "short data is widened with zeros";
    EXPECT_NE(text.find("\"long\"=dword:04030201\r\n"), std::string::npos) << "long data is cut after four bytes";
}

// Names are listed with letter case folded in every script a driver's key
// or a translated text may use, and only between real case pairs. Wine's
// regedit wrote these in this order.
TEST(RegExport, NamesAreOrderedWithCaseFoldedAtEveryScriptsEdges) {
    struct Pair {
        const char* first;
        const char* second;
        bool sameLetter;
    };
    const Pair pairs[] = {
        {"À", "à", true},  {"Þ", "þ", true},  {"×", "÷", false}, {"Ÿ", "ÿ", true},  {"Ā", "ā", true},
        {"İ", "ı", false}, {"ĸ", "ĺ", false}, {"Ĺ", "ĺ", true},  {"ň", "ŉ", false}, {"Ź", "ź", true},
        {"ž", "ſ", false}, {"Έ", "έ", true},  {"Ί", "ί", true},  {"Ύ", "ύ", true},  {"Ώ", "ώ", true},
        {"Α", "α", true},  {"Ϋ", "ϋ", true},  {"\u03A2", "ς", false}, {"Ѐ", "ѐ", true}, {"Џ", "џ", true},
        {"А", "а", true},  {"Я", "я", true},  {"Ѡ", "ѡ", true},  {"Ҋ", "ҋ", true},  {"Ӏ", "ӏ", true},
        {"Ӂ", "ӂ", true},  {"Ӑ", "ӑ", true},  {"Ա", "ա", true},  {"Ֆ", "ֆ", true},  {"Ḁ", "ḁ", true},
        {"Ạ", "ạ", true},  {"Ａ", "ａ", true}, {"Ｚ", "ｚ", true},
    };
    for (const Pair& p : pairs) {
        // With the letters the same, the second one's "a" comes first.
        RegistryImage reg;
        std::string first = p.first + "b"s, second = p.second + "a"s;
        Put(reg, "", first, kRegDword, {1, 0, 0, 0});
        Put(reg, "", second, kRegDword, {2, 0, 0, 0});
        std::string text = Readable(ExportRegBranch(reg, kKey));
        EXPECT_EQ(text.find('"' + second + '"') < text.find('"' + first + '"'), p.sameLetter) << first << " " << second;
    }
}

// Importing what Wine wrote and exporting again gives back the same bytes.
TEST(RegImport, WineExportsSurviveARoundTrip) {
    for (auto [file, key] : {std::pair{"values.reg", kKey}, {"syntax.expected.reg", "Software\\KvSyntax"},
                             {"regedit4.expected.reg", "Software\\KvAnsi"}}) {
        RegistryImage reg;
        std::string bytes = Fixture(file);
        ASSERT_TRUE(ImportRegFile(reg, bytes)) << file;
        SCOPED_TRACE(file);
        EXPECT_SAME_FILE(ExportRegBranch(reg, key), bytes);
    }
}

TEST(RegImport, StoresStringsAsUtf8WithTheirTerminatingZero) {
    RegistryImage reg;
    ASSERT_TRUE(ImportRegFile(reg, Fixture("values.reg")));
    auto data = [&](const std::string& sub, const std::string& name) {
        const RegValue* v = reg.Find(sub.empty() ? kKey : kKey + "\\"s + sub, name);
        return v ? std::pair{v->type, v->data} : std::pair{~0u, Bytes{}};
    };
    EXPECT_EQ(data("", ""), std::pair(std::uint32_t(kRegSz), Data("Default value\0"s)));
    // The last letter was lost on the way out of Wine; the zero comes back.
    EXPECT_EQ(data("", "TextNoTerminator").second, Data("C:\\Program Files\\AT\0"s));
    EXPECT_EQ(data("", "Russian").second, Data("Ключ реестра не найден\0"s));
    EXPECT_EQ(data("", "Emoji").second, Data("smile 😀\0"s));
    EXPECT_EQ(data("", "Lines").second, Data("one\ntwo\r\tthree\0"s));
    EXPECT_EQ(data("", "Expand"), std::pair(std::uint32_t(kRegExpandSz), Data("%SystemRoot%\\system32\0"s)));
    EXPECT_EQ(data("", "MultiRussian"), std::pair(std::uint32_t(kRegMultiSz), Data("Да\0Нет\0\0"s)));
    EXPECT_EQ(data("", "Dword"), std::pair(std::uint32_t(kRegDword), Bytes{0xcd, 0xab, 0, 0}));
    EXPECT_EQ(data("", "BinLong").second, Counting(100));
    EXPECT_EQ(data("", "Type100"), std::pair(0x100u, Counting(3)));
    EXPECT_EQ(data("b\\Deep\\Deeper", "d").second, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(reg.SubKeyNames(kKey + "\\ключ"s).size(), 0u);
    EXPECT_EQ(reg.FindKey(kKey + "\\aB"s)->name, "aB");
}

// syntax.reg holds the odd and broken lines; Wine's export of what it made
// of them is the answer.
TEST(RegImport, TreatsOddAndBrokenLinesAsWineDoes) {
    RegistryImage reg;
    ASSERT_TRUE(ImportRegFile(reg, Fixture("syntax.reg")));
    EXPECT_SAME_FILE(ExportRegBranch(reg, "Software\\KvSyntax"), Fixture("syntax.expected.reg"));
    EXPECT_EQ(reg.SubKeyNames(""), std::vector<std::string>{"Software"});
    EXPECT_EQ(reg.SubKeyNames("Software"), std::vector<std::string>{"KvSyntax"});
}

TEST(RegImport, ReadsEightBitFilesAsWindows1252UnlessTheyAreUtf8) {
    RegistryImage reg;
    ASSERT_TRUE(ImportRegFile(reg, Fixture("regedit4.reg")));
    EXPECT_SAME_FILE(ExportRegBranch(reg, "Software\\KvAnsi"), Fixture("regedit4.expected.reg"));

    RegistryImage utf8;
    ASSERT_TRUE(ImportRegFile(utf8, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"Ключ\"\n\"h\"=hex(2):41,42\n"));
    EXPECT_EQ(utf8.Find("K", "v")->data, Data("Ключ\0"s));
    EXPECT_EQ(utf8.Find("K", "h")->data, Data("AB\0"s));

    // The euro sign and the other letters of the 0x80 row, and the
    // no-break space just past it.
    RegistryImage ansi;
    ASSERT_TRUE(ImportRegFile(ansi, "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"v\"=\"\x80\x9F\xA0\xFF\"\r\n"));
    EXPECT_EQ(ansi.Find("K", "v")->data, Data("€Ÿ\u00A0ÿ\0"s));
}

// A file that lost its end, or a line ended by a lone CR as an old editor
// may leave, still brings in every complete line.
TEST(RegImport, LoneCarriageReturnsEndLinesAndAHalfUnitAtTheEndIsDropped) {
    RegistryImage reg;
    ASSERT_TRUE(ImportRegFile(reg, "REGEDIT4\r[HKEY_LOCAL_MACHINE\\K]\r\"v\"=\"1\"\r\"w\"=\"2\"\r"));
    EXPECT_EQ(reg.Find("K", "v")->data, Data("1\0"s));
    EXPECT_EQ(reg.Find("K", "w")->data, Data("2\0"s));

    std::u16string text = u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"v\"=\"1\"";
    std::string bytes = "\xFF\xFE";
    for (char16_t u : text) bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    RegistryImage cut;
    ASSERT_TRUE(ImportRegFile(cut, bytes + "x"));
    ASSERT_NE(cut.Find("K", "v"), nullptr);
    EXPECT_EQ(cut.Find("K", "v")->data, Data("1\0"s));
}

// A value line regedit rejects changes nothing, not even the value it names.
TEST(RegImport, RejectedValueLinesLeaveTheirValueAlone) {
    RegistryImage reg;
    for (const char* name : {"colon", "junk", "lonely", "hugeType"}) reg.SetDword("K", name, 7);
    ASSERT_TRUE(ImportRegFile(reg, "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
                                   "\"colon\":\"1\"\r\n"
                                   "\"junk\"=x\r\n"
                                   "\"lonely\"\r\n"
                                   "\"hugeType\"=hex(123456789):01\r\n"
                                   "\"upper\"=hex:0A,AF,fa\r\n"));
    for (const char* name : {"colon", "junk", "lonely", "hugeType"})
        EXPECT_EQ(reg.Find("K", name)->data, (Bytes{7, 0, 0, 0})) << name;
    EXPECT_EQ(reg.Find("K", "upper")->data, (Bytes{0x0A, 0xAF, 0xFA})) << "hex digits in either case";
}

TEST(RegImport, ChangesOnlyWhatTheFileNames) {
    RegistryImage reg;
    reg.SetString("Software\\K", "kept", "old");
    reg.SetString("Software\\K", "removed", "old");
    reg.SetString("Software\\K", "replaced", "old");
    reg.SetString("Software\\K\\Branch\\Deep", "v", "old");
    reg.SetString("Software\\Other", "v", "old");
    ASSERT_TRUE(ImportRegFile(reg, "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\Software\\K\\Branch]\r\n"
                                   "[HKEY_LOCAL_MACHINE\\Software\\K]\r\n\"removed\"=-\r\n"
                                   "\"replaced\"=\"new\"\r\n"));
    EXPECT_EQ(reg.Find("Software\\K", "kept")->data, Data("old"));
    EXPECT_EQ(reg.Find("Software\\K", "removed"), nullptr);
    EXPECT_EQ(reg.Find("Software\\K", "replaced")->data, Data("new\0"s));
    EXPECT_FALSE(reg.KeyExists("Software\\K\\Branch"));
    EXPECT_TRUE(reg.KeyExists("Software\\Other"));
}

TEST(RegImport, RefusesWhatIsNotARegistryFileAndChangesNothing) {
    const std::string kUtf16Header = Fixture("values.reg").substr(0, 2 + 36 * 2);
    for (const std::string& bytes :
         {""s, "garbage\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"v\"=\"1\"\r\n"s,
          "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"s,
          "\r\nREGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"s, "regedit4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"s,
          "Windows Registry Editor Version 5.00 \r\n[HKEY_LOCAL_MACHINE\\K]\r\n"s, kUtf16Header.substr(0, 40)}) {
        RegistryImage reg;
        std::string error;
        EXPECT_FALSE(ImportRegFile(reg, bytes, &error)) << bytes;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(reg.SubKeyNames("").empty());
    }
    RegistryImage reg;
    EXPECT_TRUE(ImportRegFile(reg, kUtf16Header));
}

// A snapshot is trusted only as the whole export of the key it was made of.
// Windows may name that key in another letter case than the registry holds.
TEST(RegCheck, OnlyAWholeExportOfTheKeyPasses) {
    RegistryImage reg;
    reg.SetDword("Software\\Fuzzy Logic\\Zone", "d", 1);
    reg.SetDword("Software\\Fuzzy Logic\\Zone\\Sub", "d", 2);
    reg.SetDword("Software\\Fuzzy Logic\\Zon2", "d", 3);
    std::string whole = ExportRegBranch(reg, "Software\\Fuzzy Logic\\Zone");
    SnapshotFault why;
    RegistryImage parsed;
    EXPECT_TRUE(CheckRegExport(whole, "SOFTWARE\\FUZZY LOGIC\\zone", parsed, &why)) << why.kind;
    EXPECT_EQ(parsed.Find("Software\\Fuzzy Logic\\Zone\\Sub", "d")->data, (Bytes{2, 0, 0, 0}));

    // Another key with a name just as long, and a copy of only a subkey.
    for (const char* other : {"Software\\Fuzzy Logic\\Zon2", "Software\\Fuzzy Logic\\Zone\\Sub"}) {
        RegistryImage ignored;
        EXPECT_FALSE(CheckRegExport(ExportRegBranch(reg, other), "Software\\Fuzzy Logic\\Zone", ignored, &why));
        EXPECT_EQ(why.kind, SnapshotFault::NotACopy) << other;
        EXPECT_EQ(why.key, "HKEY_LOCAL_MACHINE\\Software\\Fuzzy Logic\\Zone") << other;
    }
    RegistryImage cut;
    EXPECT_FALSE(CheckRegExport(whole.substr(0, whole.size() - 4), "Software\\Fuzzy Logic\\Zone", cut, &why));
    EXPECT_EQ(why.kind, SnapshotFault::CutOff);
    EXPECT_FALSE(CheckRegExport("Windows Registry Editor\r\n", "Software\\Fuzzy Logic\\Zone", cut, &why));
    EXPECT_EQ(why.kind, SnapshotFault::NotRegistryFile);
}

// A snapshot of several keys is their exports one after another in one file:
// the registry editor imports it whole, and the check names the branches it
// holds; a branch not asked for, a file whose parts differ in encoding, or
// one cut off anywhere does not pass.
TEST(RegCheck, ExportsJoinedIntoOneFileAreOneSnapshotOfEveryBranch) {
    RegistryImage reg;
    reg.SetDword("SYSTEM\\Dev0", "d", 1);
    reg.SetDword("SYSTEM\\Dev0\\ddhal", "a", 2);
    reg.SetString("SOFTWARE\\ATI\\Desktop\\{1}", "s", "text");
    reg.SetDword("SYSTEM\\Dev1", "d", 3);
    std::vector<std::string> keys = {"SYSTEM\\Dev0", "SOFTWARE\\ATI\\Desktop\\{1}", "SYSTEM\\Dev1"};
    std::vector<std::string> parts;
    for (const std::string& k : keys) parts.push_back(ExportRegBranch(reg, k));
    std::optional<std::string> joined = JoinRegExports(parts);
    ASSERT_TRUE(joined);
    RegistryImage imported, parsed;
    ASSERT_TRUE(ImportRegFile(imported, *joined));
    EXPECT_EQ(ExportRegBranch(imported, "SYSTEM"), ExportRegBranch(reg, "SYSTEM"));
    EXPECT_EQ(ExportRegBranch(imported, "SOFTWARE"), ExportRegBranch(reg, "SOFTWARE"));
    std::vector<std::string> branches;
    SnapshotFault why;
    EXPECT_TRUE(CheckRegSnapshot(*joined, keys, parsed, branches, &why)) << why.kind;
    EXPECT_EQ(branches, keys);
    // regedit's layout: one empty line between keys, none doubled.
    EXPECT_EQ(joined->find(std::string("\r\0\n\0\r\0\n\0\r\0\n\0", 12)), std::string::npos);

    // An older snapshot of the device key alone is still one.
    EXPECT_TRUE(CheckRegSnapshot(parts[0], keys, parsed, branches, &why)) << why.kind;
    EXPECT_EQ(branches, std::vector<std::string>{"SYSTEM\\Dev0"});

    EXPECT_FALSE(CheckRegSnapshot(*joined, {keys[0], keys[2]}, parsed, branches, &why));
    EXPECT_EQ(why.kind, SnapshotFault::KeyOutside);
    EXPECT_EQ(why.key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\ATI\\Desktop\\{1}");
    EXPECT_FALSE(CheckRegSnapshot(joined->substr(0, joined->size() - 4), keys, parsed, branches, &why));
    EXPECT_FALSE(JoinRegExports({parts[0], "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Dev1]\r\n\r\n"}));
    EXPECT_FALSE(JoinRegExports({parts[0], std::string("\xFF\xFEW\0", 4)})) << "a header cut off";

    // Exports in the older 8-bit form join the same way: one header, then
    // every branch.
    const std::string dev0 = "[HKEY_LOCAL_MACHINE\\SYSTEM\\Dev0]\r\n\"d\"=dword:00000001\r\n\r\n";
    const std::string dev1 = "[HKEY_LOCAL_MACHINE\\SYSTEM\\Dev1]\r\n\"d\"=dword:00000003\r\n\r\n";
    EXPECT_EQ(JoinRegExports({"REGEDIT4\r\n\r\n" + dev0, "REGEDIT4\r\n\r\n" + dev1}),
              "REGEDIT4\r\n\r\n" + dev0 + dev1);
}

// A key with a large binary value: its export has a line for every 25 bytes,
// all continuing one value. It is read whole, and in time that grows with its
// length: cutting the value's whole text again at each of its lines made a
// megabyte take seconds, and eight times the data fifty times as long.
TEST(RegCheck, AKeyWithALargeValueIsCheckedWholeInTimeThatGrowsWithItsLength) {
    auto secondsToCheck = [](std::size_t size) {
        RegistryImage reg;
        Bytes blob(size);
        for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<std::uint8_t>(i * 7);
        reg.SetBinary("SYSTEM\\Big", "Blob", blob);
        std::string exported = ExportRegBranch(reg, "SYSTEM\\Big");
        SnapshotFault why;
        RegistryImage parsed;
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(CheckRegExport(exported, "SYSTEM\\Big", parsed, &why)) << why.kind;
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(parsed.Find("SYSTEM\\Big", "Blob")->data, blob);
        return took.count();
    };
    double small = secondsToCheck(128 << 10), large = secondsToCheck(1 << 20);
    EXPECT_LT(large, 20 * small + 0.1) << small << " s for 128 KB, " << large << " s for 1 MB";
}

// Cut and damaged files must never bring the reader down.
TEST(RegImport, SurvivesTruncatedAndDamagedFiles) {
    for (const char* name : {"values.reg", "syntax.reg", "regedit4.reg"}) {
        std::string bytes = Fixture(name);
        for (std::size_t cut = 0; cut <= bytes.size(); cut += 5) {
            RegistryImage reg;
            ImportRegFile(reg, bytes.substr(0, cut));
        }
        std::uint32_t seed = 12345;
        for (int round = 0; round < 100; ++round) {
            std::string damaged = bytes;
            for (int k = 0; k < 8; ++k) {
                seed = seed * 1103515245 + 12345;
                damaged[2 + seed % (damaged.size() - 2)] = static_cast<char>(seed >> 24);
            }
            RegistryImage reg;
            ImportRegFile(reg, damaged);
            ExportRegBranch(reg, kKey);
        }
    }
}

}  // namespace
}  // namespace kv
