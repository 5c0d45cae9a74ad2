#include "CommandSend.h"

#include "HexText.h"
#include "port/PrinterCommands.h"

#include <cstring>

namespace kalo {

void WriteCommandText(CPrinterPort& port, std::string_view text)
{
    WriteCommandBytes(port, ParseHexText(text));
}

void WriteCommandBytes(CPrinterPort& port, const std::vector<uint8_t>& bytes)
{
    if (!bytes.empty())
        port.Write(bytes.data(), uint32_t(bytes.size()));
}

void PrintTestString(CPrinterPort& port)
{
    port.Write(reinterpret_cast<const uint8_t*>(cmd::kTestString), uint32_t(std::strlen(cmd::kTestString)));
    cmd::Send(port, cmd::kPrintAndFeedMost);
}

} // namespace kalo
