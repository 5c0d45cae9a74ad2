#include "StatusCommands.h"

#include "PrinterSession.h"
#include "StatusReport.h"
#include "app/SelfTest.h"
#include "status/PrinterSettingForm.h"
#include "status/StatusExchange.h"
#include "status/StatusFile.h"

#include <cctype>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace kalo::cli {

namespace {

using Form = PrinterSettingForm;

const std::vector<int> kAllSlots = {0, 1, 2, 3, 4, 5, 6, 7};
const std::vector<int> kFileSlots = {0, 1, 6, 7};
const char kWrongFormat[] = "Wrong format files loaded.";

bool IsTerminal(std::ostream& stream, int fd)
{
    return (&stream == &std::cerr || &stream == &std::cout) && isatty(fd);
}

// The printer's status exchanges with a progress bar on the terminal.
struct Exchange {
    Exchange(CommandContext& context, PrinterSession& session)
        : progress(context.err, IsTerminal(context.err, 2), context.platform.GetClock())
        , exchange({session.Port(), session.Interface(), context.platform.GetClock(), context.platform.Messages(),
                    progress, record, facts, nullptr})
    {
    }
    TerminalProgress progress;
    StatusRecord record;
    PrinterFacts facts;
    StatusExchange exchange;
};

std::string Lower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A list position by the entry's text, a short name, or a unique beginning of a text.
int FindChoice(const std::vector<std::string>& list, const std::string& given,
               const std::vector<std::pair<std::string, int>>& shortNames = {})
{
    const std::string wanted = Lower(given);
    for (size_t i = 0; i < list.size(); ++i) {
        if (Lower(list[i]) == wanted)
            return int(i);
    }
    for (const auto& [name, position] : shortNames) {
        if (Lower(name) == wanted)
            return position;
    }
    int found = -1;
    for (size_t i = 0; i < list.size() && !wanted.empty(); ++i) {
        if (Lower(list[i]).rfind(wanted, 0) == 0) {
            if (found >= 0)
                return -1; // ambiguous
            found = int(i);
        }
    }
    return found;
}

bool ParseSeconds(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoi(text);
    return true;
}

int Unexpected(CommandContext& context, const char* command)
{
    context.err << "kaloctl " << command << ": unexpected argument '" << context.args.front() << "'\n";
    return kExitUsage;
}

// A command without arguments of its own that does one thing with the printer.
int OnPrinter(CommandContext& context, const char* command, const std::function<int(PrinterSession&)>& action)
{
    if (!context.args.empty())
        return Unexpected(context, command);
    const auto session = PrinterSession::Open(context);
    return session ? action(*session) : int(kExitFailed);
}

} // namespace

const char* GetStatusCommand::Help() const
{
    return "Checks the printer, reads its eight memory switches and power-save settings,\n"
           "and prints every pin with its label and the settings by their list texts.\n"
           "  --json          print it as JSON\n"
           "  --save FILE     also save it as a status file (.sts)\n";
}

int GetStatusCommand::Execute(CommandContext& context)
{
    bool json = false;
    std::string save;
    for (size_t i = 0; i < context.args.size(); ++i) {
        if (context.args[i] == "--json") {
            json = true;
        } else if (context.args[i] == "--save" && i + 1 < context.args.size()) {
            save = context.args[++i];
        } else {
            context.err << "kaloctl get-status: bad argument '" << context.args[i] << "'\n";
            return kExitUsage;
        }
    }
    const auto session = PrinterSession::Open(context);
    if (!session)
        return kExitFailed;
    Exchange run(context, *session);
    if (!run.exchange.CheckPrinter())
        return kExitFailed;
    run.exchange.ReadStatus();
    if (json)
        PrintStatusJson(context.out, run.record, &run.facts, kAllSlots);
    else
        PrintStatusText(context.out, run.record, &run.facts, kAllSlots);
    std::string error;
    if (!save.empty() && !StatusFile::Save(save, run.record, error)) {
        context.err << error << '\n';
        return kExitFailed;
    }
    return kExitOk;
}

const char* SetStatusCommand::Help() const
{
    return "Writes memory switches and settings in user-setting mode. Only what is named\n"
           "changes: every other pin is sent as \"keep\". Settings go through the same\n"
           "translation as the Printer Setting page's lists, side effects included (a code\n"
           "page sets the single-byte country and clears switch 12, for example).\n"
           "  --load FILE.sts                   switches 1, 2, 11, 12 from a status file\n"
           "  --code-page NAME                  e.g. \"PC850 (Multilingual)\" or PC850\n"
           "  --double-byte-font NAME           e.g. \"[Single Byte Font]\" or KS5601\n"
           "  --emulation 1-5|NAME              e.g. 2 for \"Emulation 2\"\n"
           "  --print-speed 1-3|NAME            e.g. 1 for \"Print speed 1\"\n"
           "  --single-byte-font A|B|C|NAME\n"
           "  --power-save on|off               (the printer's values are kept otherwise)\n"
           "  --entrance-time SECONDS           6 to 255\n"
           "  --pin SWITCH:PIN=on|off|keep      e.g. --pin 6:2=on (switches 1-6, 11, 12)\n"
           "Settings apply in the order given, after --load.\n";
}

int SetStatusCommand::Execute(CommandContext& context)
{
    StatusRecord record; // every pin PinNoChange
    PrinterSettingForm form;
    form.record = &record;
    for (int32_t& pin : form.savedDoubleBytePins)
        pin = PinNoChange; // "No Change" keeps switch 12 as the printer has it
    std::string load;
    std::optional<int> powerSave;
    std::optional<int> entranceTime;
    std::vector<std::function<void()>> edits;

    auto usage = [&context](const std::string& what) {
        context.err << "kaloctl set-status: " << what << '\n';
        return kExitUsage;
    };
    const auto& a = context.args;
    for (size_t i = 0; i < a.size(); ++i) {
        const std::string& option = a[i];
        if (i + 1 >= a.size())
            return usage("'" + option + "' needs a value, or is unknown");
        const std::string value = a[++i];
        int position = -1;
        if (option == "--load") {
            load = value;
        } else if (option == "--code-page") {
            if ((position = FindChoice(Form::kCodePages, value)) < 0)
                return usage("no single code page matches '" + value + "'");
            edits.push_back([&form, position] { form.OnCodePage(position); });
        } else if (option == "--double-byte-font") {
            if ((position = FindChoice(Form::kDoubleByteFonts, value)) < 0)
                return usage("no single double-byte font matches '" + value + "'");
            edits.push_back([&form, position] { form.OnDoubleByteFont(position); });
        } else if (option == "--emulation") {
            position = FindChoice(Form::kEmulations, value, {{"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}, {"5", 5}});
            if (position < 0)
                return usage("no emulation '" + value + "'");
            edits.push_back([&form, position] { form.OnEmulation(position); });
        } else if (option == "--print-speed") {
            if ((position = FindChoice(Form::kPrintSpeeds, value, {{"3", 1}, {"2", 2}, {"1", 3}})) < 0)
                return usage("no print speed '" + value + "'");
            edits.push_back([&form, position] { form.OnPrintSpeed(position); });
        } else if (option == "--single-byte-font") {
            if ((position = FindChoice(Form::kSingleByteFonts, value, {{"A", 1}, {"B", 2}, {"C", 3}})) < 0)
                return usage("no single-byte font '" + value + "'");
            edits.push_back([&form, position] { form.OnSingleByteFont(position); });
        } else if (option == "--power-save") {
            if (value != "on" && value != "off")
                return usage("--power-save takes on or off");
            powerSave = value == "on" ? 1 : 0;
        } else if (option == "--entrance-time") {
            int seconds = 0;
            if (!ParseSeconds(value, seconds))
                return usage("--entrance-time takes whole seconds");
            entranceTime = seconds;
        } else if (option == "--pin") {
            unsigned number = 0, pin = 0;
            char state[8] = {};
            const int slot = std::sscanf(value.c_str(), "%u:%u=%7s", &number, &pin, state) == 3
                ? [number] {
                      for (int s = 0; s < 8; ++s)
                          if (kSwitchNumbers[s] == number)
                              return s;
                      return -1;
                  }()
                : -1;
            const std::string s = state;
            if (slot < 0 || pin < 1 || pin > 8 || (s != "on" && s != "off" && s != "keep"))
                return usage("--pin takes SWITCH:PIN=on|off|keep, e.g. 6:2=on");
            const int32_t pinState = s == "on" ? PinOn : s == "off" ? PinOff : PinNoChange;
            edits.push_back([&record, slot, pin, pinState] { record.switchPins[slot][pin] = pinState; });
        } else {
            return usage("unknown option '" + option + "'");
        }
    }

    if (!load.empty()) {
        if (!StatusFile::HasStatusExtension(load)) {
            context.err << kWrongFormat << '\n';
            return kExitFailed;
        }
        std::string error;
        if (!StatusFile::Load(load, record, error)) {
            context.err << error << '\n';
            return kExitFailed;
        }
        form.doubleByteFontChoice = record.doubleByteFontIndex;
    }
    for (const auto& edit : edits)
        edit();

    const auto session = PrinterSession::Open(context);
    if (!session)
        return kExitFailed;
    Exchange run(context, *session);
    run.record = record;
    if (!run.exchange.CheckPrinter())
        return kExitFailed;
    if (!powerSave || !entranceTime) {
        // The power-save write always goes out: what is not named keeps the printer's value.
        run.exchange.ReadPowerSave();
    }
    if (powerSave)
        run.facts.powerSaveMode = *powerSave;
    if (entranceTime)
        run.facts.entranceTime = *entranceTime;
    if (run.facts.entranceTime < 6 || run.facts.entranceTime > 255) {
        context.err << "Enterance time should be from 6 to 255.\n";
        return kExitFailed;
    }
    run.exchange.WriteStatus();
    const int choice = form.doubleByteFontChoice;
    if (choice >= 2 && choice <= 6) {
        context.out << "Success to Change the Firmware,\n And Now Start Font Download!\nWhen download is finished, "
                       "KALO is closed.\n";
        // The font images are not part of this build.
        context.err << "Fail to download Font!\n";
        return kExitFailed;
    }
    context.out << "Success to set status of printer\n";
    return kExitOk;
}

const char* PrintStatusCommand::Help() const
{
    return "Checks the printer and has it print its status sheet.\n";
}

int PrintStatusCommand::Execute(CommandContext& context)
{
    return OnPrinter(context, Name(), [&context](PrinterSession& session) {
        Exchange run(context, session);
        return run.exchange.PrintStatus() ? kExitOk : kExitFailed;
    });
}

const char* PrintCodepageCommand::Help() const
{
    return "Has the printer print its code-page sheet (no check, no reply).\n";
}

int PrintCodepageCommand::Execute(CommandContext& context)
{
    return OnPrinter(context, Name(), [&context](PrinterSession& session) {
        Exchange run(context, session);
        run.exchange.PrintCodepage();
        return kExitOk;
    });
}

const char* SelfTestCommand::Help() const
{
    return "Has the printer print its test page and waits the 4.3 s it takes.\n";
}

int SelfTestCommand::Execute(CommandContext& context)
{
    return OnPrinter(context, Name(), [&context](PrinterSession& session) {
        RunSelfTest(session.Port(), context.platform.GetClock());
        return int(kExitOk);
    });
}

const char* ShowStsCommand::Help() const
{
    return "Decodes a status file: switches 1, 2, 11 and 12 pin by pin, the settings\n"
           "they hold, and the double-byte font choice. No printer is needed.\n"
           "  kaloctl show-sts FILE.sts [--json]\n";
}

int ShowStsCommand::Execute(CommandContext& context)
{
    std::string path;
    bool json = false;
    for (const std::string& arg : context.args) {
        if (arg == "--json")
            json = true;
        else if (path.empty())
            path = arg;
        else
            return Unexpected(context, Name());
    }
    if (path.empty()) {
        context.err << "kaloctl show-sts: which file?\n";
        return kExitUsage;
    }
    if (!StatusFile::HasStatusExtension(path)) {
        context.err << kWrongFormat << '\n';
        return kExitFailed;
    }
    StatusRecord record;
    std::string error;
    if (!StatusFile::Load(path, record, error)) {
        context.err << error << '\n';
        return kExitFailed;
    }
    if (json)
        PrintStatusJson(context.out, record, nullptr, kFileSlots);
    else
        PrintStatusText(context.out, record, nullptr, kFileSlots);
    return kExitOk;
}

} // namespace kalo::cli
