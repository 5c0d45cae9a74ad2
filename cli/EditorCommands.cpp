#include "EditorCommands.h"

#include "PrinterCommand.h"
#include "StatusReport.h"
#include "editor/CommandFile.h"
#include "editor/CommandSend.h"
#include "editor/HexText.h"


namespace kalo::cli {

namespace {

struct SendRequest {
    std::string file;
    bool json = false;
};

const OptionTable<SendRequest>& SendTable()
{
    static const OptionTable<SendRequest> table = {
        {{"--file", "FILE", "send the bytes of a command file (as the editor's Save writes it) instead of HEXTEXT",
          OptionValues::Text("a file name")},
         [](SendRequest& r, const OptionValue& v) { r.file = v.text; }},
        {{"--json", "", "print {\"requested\", \"written\", \"whole\"} (bytes) as JSON", OptionValues::None()},
         [](SendRequest& r, const OptionValue&) { r.json = true; }},
    };
    return table;
}

// Standard input, at most limit bytes; false when there is more.
bool ReadInput(std::istream& in, size_t limit, std::string& bytes)
{
    bytes.clear();
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, size_t(in.gcount()));
        if (bytes.size() > limit)
            return false;
    }
    return true;
}

} // namespace

const char* SendCommand::Description() const
{
    return "Sends command bytes to the printer in one write, as the Command Test Editor's\n"
           "Write Command does: HEXTEXT is read in pairs of hexadecimal digits (separators\n"
           "space, tab, CR, LF and backspace; \"1b401\" is 1B 40 01), or --file sends a\n"
           "command file of at most 1 MiB. A text without pairs sends nothing.\n";
}

std::vector<const OptionInfo*> SendCommand::Options() const
{
    return Infos(SendTable());
}

int SendCommand::Prepare(CommandContext& context)
{
    SendRequest request;
    if (!TakeArguments(context, SendTable(), request))
        return kExitUsage;
    if (request.file.empty() == context.args.empty()) {
        Refuse(context, request.file.empty() ? "give HEXTEXT or --file FILE" : "give HEXTEXT or --file FILE, not both");
        return kExitUsage;
    }
    m_json = request.json;
    m_bytes.clear();
    if (!request.file.empty()) {
        std::string content, error;
        if (!CommandFile::Read(request.file, content, error)) {
            context.err << error << '\n';
            return kExitFailed;
        }
        m_bytes.assign(content.begin(), content.end());
    } else {
        m_bytes = ParseHexText(context.args.front());
    }
    return kOpenPrinter;
}

int SendCommand::Run(CommandContext& context, PrinterSession& session)
{
    // The identification's bytes before are counted too; the JSON gives the command's own.
    const CPrinterPort::WriteTally before = session.Port().Tally();
    WriteCommandBytes(session.Port(), m_bytes);
    const int status = WriteOutcome(context, session.Port(), WriteOperation::WriteCommand);
    if (m_json) {
        const CPrinterPort::WriteTally& after = session.Port().Tally();
        PrintJson(context.out, Json{{"requested", after.requested - before.requested},
                                    {"written", after.written - before.written}, {"whole", status == kExitOk}});
    }
    return status;
}

const char* TestPrintCommand::Description() const
{
    return "Prints the two lines \"Command Test String Line1\" and \"Command Test String\n"
           "Line2\" and feeds the paper, as the Command Test Editor's Print Test String does.\n";
}

int TestPrintCommand::Run(CommandContext& context, PrinterSession& session)
{
    PrintTestString(session.Port());
    return WriteOutcome(context, session.Port(), WriteOperation::PrintTestString);
}

const char* HexToBinCommand::Description() const
{
    return "Writes the bytes that hexadecimal command TEXT (or standard input when TEXT is\n"
           "left out) stands for to standard output, read as the Command Test Editor reads\n"
           "it: pairs of digits, separators space, tab, CR, LF and backspace.\n";
}

int HexToBinCommand::Execute(CommandContext& context)
{
    if (!TakeArguments(context))
        return kExitUsage;
    std::string text;
    if (!context.args.empty())
        text = context.args.front();
    else
        ReadInput(*context.in, text.max_size(), text);
    const std::vector<uint8_t> bytes = ParseHexText(text);
    context.out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    context.out.flush();
    return context.out ? kExitOk : kExitFailed;
}

const char* BinToHexCommand::Description() const
{
    return "Writes a command file (or standard input when FILE is left out), at most 1 MiB,\n"
           "as the Command Test Editor's Load shows it: two lower-case digits and a space\n"
           "for each byte, then a line break.\n";
}

int BinToHexCommand::Execute(CommandContext& context)
{
    if (!TakeArguments(context))
        return kExitUsage;
    std::string text, error;
    if (!context.args.empty()) {
        if (!CommandFile::Load(context.args.front(), text, error)) {
            context.err << error << '\n';
            return kExitFailed;
        }
    } else {
        std::string bytes;
        if (!ReadInput(*context.in, CommandFile::kMaxBytes, bytes)) {
            context.err << "Cannot read standard input: it has more than " << CommandFile::kMaxBytes
                        << " bytes; a command file may have at most " << CommandFile::kMaxBytes << " bytes (1 MiB).\n";
            return kExitFailed;
        }
        AppendHexText(text, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    context.out << text << '\n';
    context.out.flush();
    return context.out ? kExitOk : kExitFailed;
}

} // namespace kalo::cli
