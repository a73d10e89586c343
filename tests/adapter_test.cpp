#include <gtest/gtest.h>

#include "modes/Apply.h"
#include "platform/AdapterContext.h"
#include "TestMachine.h"

namespace kv {
namespace {

class ScriptedDisplay : public IDisplay {
public:
    std::vector<DisplayDeviceInfo> devices;
    std::optional<DisplayDeviceInfo> EnumDevice(std::uint32_t i) override {
        if (i >= devices.size()) return std::nullopt;
        return devices[i];
    }
    std::optional<DisplayMode> EnumMode(const std::string&, std::uint32_t, std::uint32_t) override {
        return std::nullopt;
    }
    bool ChangeFrequency(std::uint32_t, std::uint32_t) override { return false; }
    std::optional<DisplayMode> CurrentMode(const std::string&) override { return std::nullopt; }
    long ChangeMode(const std::string&, const DisplayMode&, std::uint32_t) override { return kDispChangeFailed; }
};

DisplayDeviceInfo Device(const std::string& n, std::uint32_t flags) {
    return {"\\\\.\\DISPLAY" + n, "Card " + n, flags, "\\Registry\\Machine\\System\\Video\\" + n};
}

TEST(DisplayDevices, MirroringAndStatelessDevicesAreSkippedButKeepTheirIndex) {
    ScriptedDisplay d;
    d.devices = {Device("1", 5), Device("2", kDisplayMirroringDriver), Device("3", 9), Device("4", 0)};
    AdapterContext ctx;
    ASSERT_TRUE(EnumerateDisplayDevices(d, ctx));
    EXPECT_EQ(ctx.DeviceCount, 3) << "device 3 (mirroring but attached) is taken, device 4 is not";
    EXPECT_TRUE(ctx.DisplayDevices[1].deviceName.empty());
    EXPECT_EQ(ctx.DisplayDevices[2].description, "Card 3");
    EXPECT_EQ(ctx.DeviceKey, "System\\Video\\1") << "the kernel prefix is cut";
    EXPECT_EQ(ctx.DeviceName, "\\\\.\\DISPLAY1");
    // The keys a change may write: the one in use once, a skipped device none.
    ctx.DesktopKey = "SOFTWARE\\ATI Technologies\\Desktop\\{X}";
    EXPECT_EQ(DriverKeysOf(ctx).keys, (std::vector<std::string>{"System\\Video\\1", ctx.DesktopKey, "System\\Video\\3"}));
}

TEST(DisplayDevices, NoUsableFirstDeviceLeavesNothingToSelect) {
    ScriptedDisplay d;
    AdapterContext ctx;
    EXPECT_FALSE(EnumerateDisplayDevices(d, ctx));
    d.devices = {Device("1", kDisplayMirroringDriver), Device("2", 1)};
    EXPECT_FALSE(EnumerateDisplayDevices(d, ctx));
    EXPECT_TRUE(ctx.DeviceKey.empty());
}

TEST(Identification, InstanceTextIsCutIntoPciIdentifiers) {
    AdapterContext ctx;
    CutInstanceIds("PCI\\VEN_1002&DEV_4E48&SUBSYS_00021002&REV_00\\4&1A2B3C&0&0008", ctx);
    EXPECT_EQ(ctx.VendorID, "1002");
    EXPECT_EQ(ctx.DeviceID, "4E48");
    EXPECT_EQ(ctx.SubSystemID, "0002");
    EXPECT_EQ(ctx.SubSystemVendorID, "1002");
    EXPECT_EQ(ctx.Revision, "00");

    CutInstanceIds(std::string("PCI\\VEN_1002&DEV_4E48&SUBSYS_00021002&REV_0A\0", 44), ctx);
    EXPECT_EQ(ctx.Revision, "0A") << "a stored terminator is not part of the text";
    CutInstanceIds("", ctx);
    EXPECT_EQ(ctx.DeviceID, "");
}

TEST(Identification, PciWalkRefinesFamilyBoardAndMaker) {
    AdapterContext ctx;
    ctx.DeviceID = "4E48";
    ctx.SubSystemID = "0002";
    ctx.SubSystemVendorID = "1002";
    EXPECT_EQ(CardTypeFromPciIds("D 4E48 Family A\nS 0002 Board B\nO 1002 Maker C\n", ctx), "Maker C");
    EXPECT_EQ(CardTypeFromPciIds("D 4E48 Family A\r\nS 0002 Board B\r\n", ctx), "Board B");
    ctx.SubSystemID = "0003";
    EXPECT_EQ(CardTypeFromPciIds("D 4E48 Family A\nS 0002 Board B\nO 1002 Maker C\n", ctx), "Family A");
    ctx.SubSystemID = "0002";
    EXPECT_EQ(CardTypeFromPciIds("D 4E48 Family A\nO 1002 Maker C\n", ctx), "Family A")
        << "a maker line without a matching board line changes nothing";
    EXPECT_EQ(CardTypeFromPciIds("D 4E48 Family A\nS 0002 Board B\nO 1002 Maker C\nS 0002 Later\n", ctx),
              "Maker C")
        << "after a maker match, board lines wait for the next device line";
    EXPECT_EQ(CardTypeFromPciIds("D 5159 Other\n\nX junk\nD\n", ctx), "???");
}

TEST(Identification, ClassAndVideoIdsComeFromTheHardwareKey) {
    test::TestMachine m;
    AdapterContext ctx;
    FindClassAndVideoIds(m.registry, ctx);
    EXPECT_EQ(ctx.ClassID, "{4D36E968-E325-11CE-BFC1-08002BE10318}");
    EXPECT_EQ(ctx.VideoID, "{6C5A1F3E-2B8D-4E7A-9F10-3D4C5B6A7E80}");

    std::string hw = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1002&DEV_4E48&SUBSYS_00021002&REV_00\\4&1A2B3C&0&0008";
    m.registry.SetString(hw + "\\Device Parameters", "VideoID", "no brace here");
    m.registry.SetString("SOFTWARE\\ATI Technologies\\CDS\\0000\\0\\Driver", "Hardware RegKey",
                         hw + " trailing words" + std::string(1, '\0'));
    FindClassAndVideoIds(m.registry, ctx);
    EXPECT_EQ(ctx.VideoID, "") << "a VideoID without a closing brace is empty";
    EXPECT_EQ(ctx.ClassID, "{4D36E968-E325-11CE-BFC1-08002BE10318}");

    RegistryImage empty;
    FindClassAndVideoIds(empty, ctx);
    EXPECT_EQ(ctx.ClassID, "{4D36E968-E325-11CE-BFC1-08002BE10318}") << "unreadable values keep the old text";
}

TEST(Identification, DriverVersionTakesTheLastPresentValueUpToTheParenthesis) {
    test::TestMachine m;
    AdapterContext ctx;
    ctx.DeviceKey = test::kDeviceKey;
    AdapterIdentity id = ReadAdapterIdentity(m.registry, ctx, "missing");
    EXPECT_EQ(id.chip, "RADEON 9800 PRO");
    EXPECT_EQ(id.driverVersion, "6.14.10.6444 ");
    EXPECT_EQ(ctx.DeviceID, "4E48");

    RegistryImage empty;
    id = ReadAdapterIdentity(empty, ctx, "missing");
    EXPECT_EQ(id.chip, "missing");
    EXPECT_EQ(id.driverVersion, "missing");
    EXPECT_EQ(ctx.VendorID, "");
}

}  // namespace
}  // namespace kv
