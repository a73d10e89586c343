// "ati.pci" and the adapter's instance path: the identification of the
// card. The input is the file beside the program; when it holds a zero
// byte, what comes before it is the driver's instance path instead
// (Services\ati2mtag\Enum, value "0") and what follows is the file. The
// identifiers are cut and the card looked up on their own, then by the main
// window's start-up, which must show the same card.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzMachine.h"
#include "platform/AdapterContext.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t zero = input.find('\0');
    std::string pci = zero == std::string::npos ? input : input.substr(zero + 1);

    fuzz::Machine m;
    if (zero != std::string::npos)
        m.registry.SetString("SYSTEM\\CurrentControlSet\\Services\\ati2mtag\\Enum", "0", input.substr(0, zero));
    m.system.WriteFile(std::string(fuzz::kInstallDir) + "\\ati.pci", pci);

    AdapterContext ctx;
    ctx.DeviceKey = fuzz::kDeviceKey;
    ReadAdapterIdentity(m.registry, ctx, "missing");
    for (const std::string* id : {&ctx.VendorID, &ctx.DeviceID, &ctx.SubSystemID, &ctx.SubSystemVendorID})
        if (id->size() > 4) fuzz::Fault("an identifier longer than four digits");
    if (ctx.Revision.size() > 2) fuzz::Fault("a revision longer than two digits");
    std::string card = CardTypeFromPciIds(pci, ctx);

    TForm1 form(m.platform);
    if (!fuzz::StartMainWindow(form)) return 0;
    fuzz::CheckNoUnexpectedError(m.system);
    if (form["lbCardType"].text != card) fuzz::Fault("the window shows another card than the file names");
    return 0;
}
