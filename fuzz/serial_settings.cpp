// The serial settings text of a registry ports value, and a CUPS device URI
// as the queues' registry view reads it.
#include "FuzzTarget.h"
#include "connect/CupsRegistryView.h"
#include "connect/RegistryKeyPaths.h"
#include "connect/SerialSettingsText.h"
#include "connect/SpoolerQueues.h"
#include "sim/MemorySpooler.h"

using namespace kalo;

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    const std::string text = Text(data, size);
    ReadSerialSettingsText(text);
    ReadSerialSettingsText(SerialSettingsTextOf(text));

    sim::MemorySpooler spooler;
    spooler.queues = {{"Receipt", text}};
    const platform::PortMap ports([](const char*) -> const char* { return nullptr; });
    const CupsRegistryView view(spooler, ports);
    const std::string portText = PortTextOf(text, ports);
    platform::RegistryValue value;
    view.Find(std::string(kPrintersKey) + "Receipt", "Port", value);
    view.Find(kPortsKey, portText, value);
    view.Find(std::string(kTcpPortsKey) + portText, "PortNumber", value);
}
