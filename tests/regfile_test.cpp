// The .reg reader and writer against files Wine's regedit wrote itself (see
// tests/data/regedit/make_fixtures.sh for how they were made).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/RegFile.h"
#include "platform/SimRegistry.h"
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

void Put(SimRegistry& reg, const std::string& sub, const std::string& name, std::uint32_t type, const Bytes& data) {
    std::string path = sub.empty() ? kKey : kKey + "\\"s + sub;
    reg.CreateKey(path);
    reg.SetValue(path, name, RegValue{type, data});
}

// The same key make_fixtures.sh seeds in Wine, set in no particular order.
void SeedFixture(SimRegistry& reg) {
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

TEST(Text, ConvertsBothWaysKeepingZerosAndSurrogatePairs) {
    std::string text = "Ключ\0a😀"s;
    std::u16string units = Utf8ToUtf16(text);
    EXPECT_EQ(units, u"Ключ\0a😀"s);
    EXPECT_EQ(Utf16ToUtf8(units), text);
}

TEST(Text, BrokenInputBecomesReplacementCharactersOnly) {
    // A stray continuation byte, a cut sequence and an overlong slash.
    EXPECT_EQ(Utf8ToUtf16("a\x80" "b\xD0"), u"a\uFFFDb\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
    EXPECT_TRUE(IsValidUtf8("Ёлка 😀"));
    EXPECT_EQ(Utf16ToUtf8(u"x\xD800y\xDC00"), "x\uFFFDy\uFFFD");
}

TEST(RegExport, WritesTheSeededKeyExactlyAsWineRegeditDoes) {
    SimRegistry reg;
    SeedFixture(reg);
    EXPECT_SAME_FILE(ExportRegBranch(reg, kKey), Fixture("values.reg"));
}

TEST(RegExport, MissingKeyGivesNothing) {
    SimRegistry reg;
    EXPECT_EQ(ExportRegBranch(reg, "Software\\Nowhere"), "");
}

TEST(RegExport, ShortDwordDataIsWidenedWithZeros) {
    SimRegistry reg;
    Put(reg, "", "d", kRegDword, {1, 2, 3});
    EXPECT_NE(Readable(ExportRegBranch(reg, kKey)).find("\"d\"=dword:00030201\r\n"), std::string::npos);
}

// Importing what Wine wrote and exporting again gives back the same bytes.
TEST(RegImport, WineExportsSurviveARoundTrip) {
    for (auto [file, key] : {std::pair{"values.reg", kKey}, {"syntax.expected.reg", "Software\\KvSyntax"},
                             {"regedit4.expected.reg", "Software\\KvAnsi"}}) {
        SimRegistry reg;
        std::string bytes = Fixture(file);
        ASSERT_TRUE(ImportRegFile(reg, bytes)) << file;
        SCOPED_TRACE(file);
        EXPECT_SAME_FILE(ExportRegBranch(reg, key), bytes);
    }
}

TEST(RegImport, StoresStringsAsUtf8WithTheirTerminatingZero) {
    SimRegistry reg;
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
    SimRegistry reg;
    ASSERT_TRUE(ImportRegFile(reg, Fixture("syntax.reg")));
    EXPECT_SAME_FILE(ExportRegBranch(reg, "Software\\KvSyntax"), Fixture("syntax.expected.reg"));
    EXPECT_EQ(reg.SubKeyNames(""), std::vector<std::string>{"Software"});
    EXPECT_EQ(reg.SubKeyNames("Software"), std::vector<std::string>{"KvSyntax"});
}

TEST(RegImport, ReadsEightBitFilesAsWindows1252UnlessTheyAreUtf8) {
    SimRegistry reg;
    ASSERT_TRUE(ImportRegFile(reg, Fixture("regedit4.reg")));
    EXPECT_SAME_FILE(ExportRegBranch(reg, "Software\\KvAnsi"), Fixture("regedit4.expected.reg"));

    SimRegistry utf8;
    ASSERT_TRUE(ImportRegFile(utf8, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"Ключ\"\n\"h\"=hex(2):41,42\n"));
    EXPECT_EQ(utf8.Find("K", "v")->data, Data("Ключ\0"s));
    EXPECT_EQ(utf8.Find("K", "h")->data, Data("AB\0"s));
}

TEST(RegImport, ChangesOnlyWhatTheFileNames) {
    SimRegistry reg;
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
        SimRegistry reg;
        std::string error;
        EXPECT_FALSE(ImportRegFile(reg, bytes, &error)) << bytes;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(reg.ChangeCount(), 0u);
    }
    SimRegistry reg;
    EXPECT_TRUE(ImportRegFile(reg, kUtf16Header));
}

// Cut and damaged files must never bring the reader down.
TEST(RegImport, SurvivesTruncatedAndDamagedFiles) {
    for (const char* name : {"values.reg", "syntax.reg", "regedit4.reg"}) {
        std::string bytes = Fixture(name);
        for (std::size_t cut = 0; cut <= bytes.size(); cut += 5) {
            SimRegistry reg;
            ImportRegFile(reg, bytes.substr(0, cut));
        }
        std::uint32_t seed = 12345;
        for (int round = 0; round < 100; ++round) {
            std::string damaged = bytes;
            for (int k = 0; k < 8; ++k) {
                seed = seed * 1103515245 + 12345;
                damaged[2 + seed % (damaged.size() - 2)] = static_cast<char>(seed >> 24);
            }
            SimRegistry reg;
            ImportRegFile(reg, damaged);
            ExportRegBranch(reg, kKey);
        }
    }
}

}  // namespace
}  // namespace kv
