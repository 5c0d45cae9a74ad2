// A registry export file as the user or another program left it.
#include "FuzzTarget.h"
#include "platform/RegistryFile.h"

using kalo::platform::RegistryFile;
using kalo::platform::RegistryValue;

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    const RegistryFile file = RegistryFile::FromText(Text(data, size));
    // The lookups preselection makes, so what the parse kept is read back too.
    RegistryValue value;
    file.Find("SOFTWARE\\KEMTRAN\\TLR-740II\\OXM\\Custom", "Port", value);
    file.Find("SOFTWARE\\KEMTRAN\\TLR-740II\\OXM\\Custom", "TcpPort", value);
    file.Find("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "COM1:", value);
    file.Find("", "", value);
}
