// The platform's smaller pieces: the value helpers, starting a program, the
// Windows version, the settings key, the text conversions, SharedRegistry and
// the shutdown privilege.
#include <gtest/gtest.h>

#include "platform/AdapterContext.h"
#include "platform/Launch.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"
#include "platform/SharedRegistry.h"
#include "platform/ShutdownPrivilege.h"
#include "platform/Text.h"
#include "tests/sim/SimMachine.h"

using namespace std::string_literals;

namespace kv {
namespace {

constexpr const char* kKey = "SOFTWARE\\Test";

TEST(ValueHelpers, DwordsAreSixteenBitAndNeedAnExistingKey) {
    RegistryImage reg;
    EXPECT_EQ(WriteDwordValue(reg, kKey, "x", 5), kKeyFailed);
    EXPECT_FALSE(reg.KeyExists(kKey)) << "a write must never create the key";

    reg.SetDword(kKey, "wide", 0x00010001);
    std::uint16_t v = 255;
    EXPECT_EQ(ReadDwordValue(reg, kKey, "wide", v), kDone);
    EXPECT_EQ(v, 1) << "only the low 16 bits count";

    EXPECT_EQ(WriteDwordValue(reg, kKey, "x", 0xABCD), kDone);
    EXPECT_EQ(reg.Find(kKey, "x")->type, kRegDword);
    EXPECT_EQ(reg.Find(kKey, "x")->data, (Bytes{0xCD, 0xAB, 0, 0}));

    reg.SetBinary(kKey, "short", {0x07});
    EXPECT_EQ(ReadDwordValue(reg, kKey, "short", v), kDone);
    EXPECT_EQ(v, 7) << "a shorter value is zero-filled";
}

TEST(ValueHelpers, FailedReadsLeaveTheCallersDefault) {
    RegistryImage reg;
    std::uint16_t v = 255;
    EXPECT_EQ(ReadDwordValue(reg, kKey, "x", v), kKeyFailed);
    reg.CreateKey(kKey);
    EXPECT_EQ(ReadDwordValue(reg, kKey, "x", v), kValueFailed);
    reg.SetBinary(kKey, "long", Bytes(5, 1));
    EXPECT_EQ(ReadDwordValue(reg, kKey, "long", v), kValueFailed);
    EXPECT_EQ(v, 255);

    std::string text = "default";
    reg.SetString(kKey, "big", std::string(300, 'a'));
    EXPECT_EQ(ReadTextValue(reg, kKey, "big", text), kValueFailed);
    EXPECT_EQ(ReadTextValue(reg, kKey, "missing", text), kValueFailed);
    EXPECT_EQ(text, "default");
}

// Windows stores the bytes it is given: a text written without its zero
// has none, and the driver reads on past its end.
TEST(ValueHelpers, TextsAreWrittenWithTheirZeroAndReadWithOrWithoutIt) {
    RegistryImage reg;
    std::string text;
    for (const std::string& stored : {std::string("abc\0", 4), std::string("abc"), std::string("abc\0junk", 8)}) {
        reg.SetString(kKey, "other", stored);
        ASSERT_EQ(ReadTextValue(reg, kKey, "other", text), kDone);
        EXPECT_EQ(text, "abc");
    }

    ASSERT_EQ(WriteTextValue(reg, kKey, "own", "abc"), kDone);
    EXPECT_EQ(reg.Find(kKey, "own")->data, (Bytes{'a', 'b', 'c', 0}));
    EXPECT_EQ(reg.Find(kKey, "own")->type, kRegSz);
    ASSERT_EQ(ReadTextValue(reg, kKey, "own", text), kDone);
    EXPECT_EQ(text, "abc");

    reg.SetString(kKey, "edge", std::string(250, 'b'));
    EXPECT_EQ(ReadTextValue(reg, kKey, "edge", text), kDone) << "250 bytes still fit";
}

TEST(ValueHelpers, OverlongTextsAreRefusedNotCut) {
    RegistryImage reg;
    reg.CreateKey(kKey);
    EXPECT_EQ(WriteTextValue(reg, kKey, "dir", std::string(255, 'c')), kDone);
    EXPECT_EQ(WriteTextValue(reg, kKey, "dir2", std::string(256, 'c')), kValueFailed);
    EXPECT_EQ(reg.Find(kKey, "dir2"), nullptr);
    EXPECT_EQ(WriteTextValue(reg, "SOFTWARE\\Missing", "dir", "x"), kKeyFailed);

    // Windows' limits, not a buffer's: paths within MAX_PATH, a command line
    // within 32,767 characters (the file quoted, a blank, the parameters).
    SimMachine m;
    const std::string path(259, 'p');
    EXPECT_NE(LaunchProgram(m.system, path, std::string(32767 - 262, 'a'), path, kShowNormal), 0u);
    m.system.launches.clear();
    for (auto [file, parameters, directory] : {std::tuple{path + "p", std::string(), path},
                                               std::tuple{path, std::string(), path + "p"},
                                               std::tuple{path, std::string(32767 - 261, 'a'), path}})
        EXPECT_EQ(LaunchProgram(m.system, file, parameters, directory, kShowNormal), 0u);
    EXPECT_TRUE(m.system.launches.empty());
    std::string cyrillic = "C:\\";
    while (cyrillic.size() < 3 + 2 * 256) cyrillic += "ж";
    m.system.WriteFile(cyrillic, "MZ");
    EXPECT_NE(LaunchProgram(m.system, cyrillic, "", ".", kShowNormal), 0u) << "259 characters, though more bytes";
}

TEST(VersionRule, OnlyTheHighBitMeansWindows9x) {
    EXPECT_EQ(VersionText(0x0A280105), "5.1.2600");
    EXPECT_EQ(VersionText(0x08930005), "5.0.2195");
    EXPECT_EQ(VersionText(0x17700006), "6.0.6000") << "Vista's build is above 4096 and still NT";
    EXPECT_EQ(VersionText(0xC0000A04), "4.10");
}

TEST(SettingsKey, InstallDirDefaultsToTheCurrentDirectoryAndLosesAStoredZero) {
    RegistryImage reg;
    EXPECT_EQ(GetInstallDir(reg), ".");
    reg.SetString(kProductSettingsKey, "InstallDir", std::string("D:\\Tools\0", 9));
    EXPECT_EQ(GetInstallDir(reg), "D:\\Tools");
    reg.SetString(kProductSettingsKey, "InstallDir", std::string(251, 'x'));
    EXPECT_EQ(GetInstallDir(reg), ".") << "a value too long to read";
    EXPECT_EQ(InstallFile(reg, "ati.pci"), ".\\ati.pci");
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

// The first and last code point of every sequence length, and the nearest
// forms a converter must turn away: overlong ones, surrogates, past U+10FFFF.
TEST(Text, EveryEncodingLengthHoldsUpToItsEdgesAndNoFurther) {
    std::u16string edges = u"\u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000\U0010FFFF";
    std::string utf8 = "\x7F" "\xC2\x80" "\xDF\xBF" "\xE0\xA0\x80" "\xED\x9F\xBF" "\xEE\x80\x80" "\xEF\xBF\xBF"
                       "\xF0\x90\x80\x80" "\xF4\x8F\xBF\xBF";
    EXPECT_EQ(Utf16ToUtf8(edges), utf8);
    EXPECT_EQ(Utf8ToUtf16(utf8), edges);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_EQ(Utf16ToUtf8(u"\xD800\xDC00\xDBFF\xDFFF"), "\U00010000\U0010FFFF");
    EXPECT_EQ(Utf16ToUtf8(u"\xDFFF"), "\uFFFD") << "a lone low surrogate";
    for (const char* broken : {"\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xBF\xBF", "\xF4\x90\x80\x80"}) {
        EXPECT_FALSE(IsValidUtf8(broken)) << broken;
        EXPECT_EQ(Utf8ToUtf16(broken), std::u16string(std::char_traits<char>::length(broken), u'\uFFFD'));
    }
}

TEST(SharedRegistryTest, AFailedOpenKeepsThePreviousKeyCurrent) {
    RegistryImage reg;
    reg.SetBinary("SOFTWARE\\A", "v", {1, 2, 3});
    SharedRegistry shared(reg);
    ASSERT_TRUE(shared.OpenKey("\\SOFTWARE\\A", false));
    EXPECT_FALSE(shared.OpenKey("\\SOFTWARE\\Missing", false));
    EXPECT_FALSE(reg.KeyExists("SOFTWARE\\Missing"));
    std::uint8_t buf[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(shared.ReadBinary("v", buf, sizeof buf), std::optional<std::size_t>(3));
    EXPECT_EQ(buf[2], 3);
    EXPECT_EQ(buf[3], 0xFF);

    ASSERT_TRUE(shared.OpenKey("Sub", true)) << "relative to the current key";
    EXPECT_TRUE(reg.KeyExists("SOFTWARE\\A\\Sub"));
    EXPECT_EQ(shared.CurrentKey(), "SOFTWARE\\A\\Sub");
}

// A value the buffer cannot take whole, or no binary data, is not read; what
// it is comes back, so that the caller can name it.
TEST(SharedRegistryTest, BinaryReadsRefuseTheWrongTypeOrSizeAndSayWhatTheyFound) {
    RegistryImage reg;
    reg.SetDword("K", "dw", 1);
    reg.SetBinary("K", "big", Bytes(9, 0));
    reg.SetValue("K", "none", RegValue{kRegNone, {5}});
    SharedRegistry shared(reg);
    shared.OpenKey("\\K", false);
    std::uint8_t buf[8] = {};
    EXPECT_EQ(shared.ReadBinary("absent", buf, 8), std::optional<std::size_t>(0));
    EXPECT_EQ(shared.ReadBinary("none", buf, 8), std::optional<std::size_t>(1)) << "unknown types read as binary";
    ValueInfo found;
    EXPECT_EQ(shared.ReadBinary("dw", buf, 8, &found), std::nullopt);
    EXPECT_TRUE(found.exists && found.kind == ValueKind::Dword);
    EXPECT_EQ(shared.ReadBinary("big", buf, 8, &found), std::nullopt);
    EXPECT_TRUE(found.exists && found.kind == ValueKind::Binary && found.size == 9);
    EXPECT_EQ(buf[0], 5) << "a refused value leaves the buffer as it was";
}

TEST(SharedRegistryTest, WritesAndDeletionsSayWhetherTheyHappened) {
    RegistryImage reg;
    reg.CreateKey("K");
    SharedRegistry shared(reg);
    shared.OpenKey("\\K", false);
    EXPECT_TRUE(shared.WriteBinary("b", {1}));
    EXPECT_EQ(reg.Find("K", "b")->type, kRegBinary);
    EXPECT_TRUE(shared.WriteString("s", "abc"));
    EXPECT_EQ(reg.Find("K", "s")->data, (Bytes{'a', 'b', 'c', 0})) << "stored with its terminating zero";
    EXPECT_TRUE(shared.DeleteValue("s"));
    EXPECT_FALSE(shared.DeleteValue("s"));
    reg.DeleteKey("K");
    EXPECT_FALSE(shared.WriteBinary("b", {1}));
    EXPECT_FALSE(shared.WriteString("s", "abc"));
}

TEST(ShutdownPrivilege, AskedOnEveryNtSystemAndNeverOnWindows9x) {
    SimMachine m;
    m.system.privilegeGranted = false;
    m.system.version = 0xC0000A04;  // Windows 98: high bit set
    AcquireShutdownPrivilege(m.system, "Can't get SeShutdownPrivilege", "Error");
    EXPECT_TRUE(m.system.shown.empty());

    // Vista's build 6000 pushes the number above 0x10000000, yet it is an NT
    // system and needs the privilege to restart.
    m.system.version = 0x17700006;
    AcquireShutdownPrivilege(m.system, "Can't get SeShutdownPrivilege", "Error");
    ASSERT_EQ(m.system.shown.size(), 3u) << "one message per failing step";
    EXPECT_EQ(m.system.shown[0].text, "Can't get SeShutdownPrivilege");
    EXPECT_EQ(m.system.shown[0].caption, "Error");

    m.system.shown.clear();
    m.system.privilegeGranted = true;
    AcquireShutdownPrivilege(m.system, "Can't get SeShutdownPrivilege", "Error");
    EXPECT_TRUE(m.system.shown.empty());
}

}  // namespace
}  // namespace kv
