#include "PrinterCommands.h"

#include "platform/Text.h"

#include <algorithm>
#include <vector>

namespace kalo::cmd {

namespace {

// A command of fixed bytes, or a fixed beginning followed by parameters
// that the name is told with.
struct Entry {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t parameters = 0;
    std::string (*describe)(const uint8_t* parameters) = nullptr;
};

template <size_t N>
Entry Fixed(const char* name, const Command<N>& command)
{
    return {name, std::vector<uint8_t>(command.begin(), command.end())};
}

// The fixed part of a command with parameters: its first n bytes.
template <size_t N>
std::vector<uint8_t> Beginning(const Command<N>& command, size_t n)
{
    return std::vector<uint8_t>(command.begin(), command.begin() + std::ptrdiff_t(n));
}

std::string Number(const uint8_t* p)
{
    return std::to_string(p[0]);
}

const std::vector<Entry>& Entries()
{
    static const std::vector<Entry> entries = {
        Fixed("Initialize", kInitialize),
        Fixed("SelectPrinter", kSelectPrinter),
        Fixed("StatusBackOff", kStatusBackOff),
        Fixed("IdentificationByteQuery", kIdentificationByteQuery),
        Fixed("FirmwareVersionQuery", kFirmwareVersionQuery),
        Fixed("MakerNameQuery", kMakerNameQuery),
        Fixed("ModelNameQuery", kModelNameQuery),
        Fixed("LanguageQuery", kLanguageQuery),
        Fixed("EnterUserSetting", kEnterUserSetting),
        Fixed("EndUserSetting", kEndUserSetting),
        {"SwitchQuery", Beginning(SwitchQuery(0), 6), 1, Number},
        {"SwitchWrite", Beginning(SwitchWrite(0, {}), 6), 9,
         [](const uint8_t* p) { return std::to_string(p[0]) + " " + std::string(p + 1, p + 9); }},
        Fixed("PowerSaveQuery", kPowerSaveQuery),
        {"PowerSaveWrite", Beginning(PowerSaveWrite(false, 0), 4), 2,
         [](const uint8_t* p) { return std::string(p[0] ? "on " : "off ") + std::to_string(p[1]); }},
        Fixed("PrintStatusSheet", kPrintStatusSheet),
        Fixed("PrintCodePageSheet", kPrintCodePageSheet),
        Fixed("ExecuteTestPrint", kExecuteTestPrint),
        Fixed("FontA", kFontA),
        Fixed("FontB", kFontB),
        Fixed("BoldOn", kBoldOn),
        Fixed("BoldOff", kBoldOff),
        Fixed("UnderlineOn", kUnderlineOn),
        Fixed("UnderlineOff", kUnderlineOff),
        Fixed("AlignLeft", kAlignLeft),
        Fixed("AlignCenter", kAlignCenter),
        Fixed("AlignRight", kAlignRight),
        Fixed("FeedAndCut", kFeedAndCut),
        Fixed("LineFeed", kLineFeed),
        Fixed("OpenDrawer1", kOpenDrawer1),
        Fixed("OpenDrawer2", kOpenDrawer2),
        Fixed("DefaultLineSpacing", kDefaultLineSpacing),
        {"LineSpacing", Beginning(LineSpacing(0), 2), 1, Number},
        {"SelectCodeTable", Beginning(SelectCodeTable(0), 2), 1, Number},
        {"PrintNvImage", Beginning(PrintNvImage(0), 2), 2, Number},
        Fixed("PrintAndFeedMost", kPrintAndFeedMost),
    };
    return entries;
}

bool StartsWithName(const std::string& name, const char* prefix)
{
    return name.rfind(prefix, 0) == 0;
}

// The text of a reply 0x5F, text, 0x00 when it is whole.
bool TextReply(const uint8_t* bytes, size_t size, std::string& text)
{
    if (size < 2 || bytes[0] != 0x5F || bytes[size - 1] != 0x00
        || std::find(bytes, bytes + size - 1, 0x00) != bytes + size - 1)
        return false;
    text.assign(bytes + 1, bytes + size - 1);
    return true;
}

} // namespace

CommandName NameCommand(const uint8_t* bytes, size_t size)
{
    CommandName best;
    for (const Entry& entry : Entries()) {
        const size_t length = entry.bytes.size() + entry.parameters;
        // The longest command that fits wins: FeedAndCut begins with LineFeed.
        if (length > size || length <= best.length
            || !std::equal(entry.bytes.begin(), entry.bytes.end(), bytes))
            continue;
        best.name = entry.name;
        if (entry.describe)
            best.name += " " + entry.describe(bytes + entry.bytes.size());
        best.length = length;
    }
    return best;
}

std::string DescribeReply(const std::string& commandName, const uint8_t* bytes, size_t size)
{
    static const std::pair<const char*, const char*> kTexts[] = {
        {"MakerNameQuery", "maker"},
        {"ModelNameQuery", "model"},
        {"FirmwareVersionQuery", "firmware"},
        {"LanguageQuery", "language"},
    };
    for (const auto& [query, what] : kTexts) {
        std::string text;
        if (commandName == query && TextReply(bytes, size, text))
            return std::string(what) + " \"" + text + "\"";
    }
    if (commandName == "IdentificationByteQuery" && size == 1)
        return "identification byte " + platform::HexBytes(bytes, 1);
    if (StartsWithName(commandName, "SwitchQuery ") && size == 11 && bytes[0] == 0x37 && bytes[10] == 0x00
        && std::all_of(bytes + 2, bytes + 10, [](uint8_t b) { return b == '0' || b == '1'; }))
        return "switch " + commandName.substr(12) + ": pins 8-1 " + std::string(bytes + 2, bytes + 10);
    if (commandName == "PowerSaveQuery" && size == 4)
        return std::string("power save ") + (bytes[1] ? "on" : "off") + ", entrance time "
            + std::to_string(bytes[2]) + " s";
    if (commandName == "EnterUserSetting" && size == 3 && bytes[0] == 0x37 && bytes[1] == 0x20 && bytes[2] == 0x00)
        return "in user-setting mode";
    return {};
}

} // namespace kalo::cmd
