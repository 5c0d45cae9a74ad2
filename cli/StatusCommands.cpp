#include "StatusCommands.h"

#include "FontCommand.h"
#include "PrinterSession.h"
#include "StatusReport.h"
#include "app/SelfTest.h"
#include "platform/Interruption.h"
#include "platform/Terminal.h"
#include "port/WriteReport.h"
#include "status/PrinterSettingForm.h"
#include "status/StatusExchange.h"
#include "status/StatusFile.h"

#include <functional>
#include <iostream>
#include <optional>

namespace kalo::cli {

namespace {

using Form = PrinterSettingForm;

const std::vector<int> kAllSlots = {0, 1, 2, 3, 4, 5, 6, 7};
const std::vector<int> kFileSlots = {0, 1, 6, 7};
const char kWrongFormat[] = "Wrong format files loaded.";

bool ReachesTerminal(const std::ostream& err)
{
    return &err == &std::cerr && platform::IsTerminal(platform::StandardStream::Error);
}

// The printer's status exchanges with a progress bar on the terminal.
struct Exchange {
    Exchange(CommandContext& context, PrinterSession& session)
        : progress(context.err, ReachesTerminal(context.err), context.platform.GetClock())
        , exchange({session.Port(), session.Interface(), context.platform.GetClock(), context.platform.Messages(),
                    progress, record, facts, nullptr})
    {
    }
    TerminalProgress progress;
    StatusRecord record;
    PrinterFacts facts;
    StatusExchange exchange;
};

int PinState(int64_t position)
{
    static const int32_t kStates[3] = {PinOn, PinOff, PinNoChange};
    return kStates[position];
}

std::vector<OptionValues::Range> SwitchNumbers()
{
    std::vector<OptionValues::Range> numbers;
    for (const uint8_t number : kSwitchNumbers)
        numbers.emplace_back(number, number);
    return numbers;
}

int SlotOf(int64_t switchNumber)
{
    for (int slot = 0; slot < 8; ++slot) {
        if (kSwitchNumbers[slot] == switchNumber)
            return slot;
    }
    return -1;
}

// A command without arguments of its own that does one thing with the printer.
int OnPrinter(CommandContext& context, const std::function<int(PrinterSession&)>& action)
{
    const auto session = PrinterSession::Open(context);
    return session ? action(*session) : int(kExitFailed);
}

struct GetStatusRequest {
    bool json = false;
    bool partial = false;
    std::string save;
};

const OptionTable<GetStatusRequest>& GetStatusTable()
{
    static const OptionTable<GetStatusRequest> table = {
        {{"--json", "", "print it as JSON", OptionValues::None()},
         [](GetStatusRequest& r, const OptionValue&) { r.json = true; }},
        {{"--save", "FILE", "also save it as a status file",
          OptionValues::Text("a file name ending in \"sts\", as Load takes", StatusFile::HasStatusExtension)},
         [](GetStatusRequest& r, const OptionValue& v) { r.save = v.text; }},
        {{"--partial", "",
          "when a reply is missing, print the JSON and save the file all the same, listing what is missing "
          "(the exit status stays 1)",
          OptionValues::None()},
         [](GetStatusRequest& r, const OptionValue&) { r.partial = true; }},
    };
    return table;
}

// What set-status was asked for: the edits go through the Printer Setting
// page's translations, in the order given, after the file is loaded.
struct SetStatusRequest {
    std::string load;
    std::optional<int> powerSave;
    std::optional<int> entranceTime;
    std::vector<std::function<void(Form&)>> edits;
};

const OptionTable<SetStatusRequest>& SetStatusTable()
{
    using Values = OptionValues;
    static const OptionTable<SetStatusRequest> table = {
        {{"--load", "FILE", "switches 1, 2, 11 and 12 from a status file", Values::Text("a file name")},
         [](SetStatusRequest& r, const OptionValue& v) { r.load = v.text; }},
        {{"--code-page", "NAME", "the default code page", Values::ListEntry(Form::kCodePages)},
         [](SetStatusRequest& r, const OptionValue& v) {
             r.edits.push_back([position = int(v.number)](Form& form) { form.OnCodePage(position); });
         }},
        {{"--double-byte-font", "NAME", "the double-byte font", Values::ListEntry(Form::kDoubleByteFonts)},
         [](SetStatusRequest& r, const OptionValue& v) {
             r.edits.push_back([position = int(v.number)](Form& form) { form.OnDoubleByteFont(position); });
         }},
        {{"--emulation", "NAME", "the emulation",
          Values::ListEntry(Form::kEmulations, {{"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}, {"5", 5}})},
         [](SetStatusRequest& r, const OptionValue& v) {
             r.edits.push_back([position = int(v.number)](Form& form) { form.OnEmulation(position); });
         }},
        {{"--print-speed", "NAME", "the print speed",
          Values::ListEntry(Form::kPrintSpeeds, {{"3", 1}, {"2", 2}, {"1", 3}})},
         [](SetStatusRequest& r, const OptionValue& v) {
             r.edits.push_back([position = int(v.number)](Form& form) { form.OnPrintSpeed(position); });
         }},
        {{"--single-byte-font", "NAME", "the single-byte font",
          Values::ListEntry(Form::kSingleByteFonts, {{"A", 1}, {"B", 2}, {"C", 3}})},
         [](SetStatusRequest& r, const OptionValue& v) {
             r.edits.push_back([position = int(v.number)](Form& form) { form.OnSingleByteFont(position); });
         }},
        {{"--power-save", "MODE", "power save; the printer's mode is kept when not given", Values::Names({"off", "on"})},
         [](SetStatusRequest& r, const OptionValue& v) { r.powerSave = int(v.number); }},
        {{"--entrance-time", "SECONDS", "the power-save entrance time; the printer's is kept when not given",
          Values::Numbers({{Form::kEntranceTimeMin, Form::kEntranceTimeMax}}), nullptr, Form::kEntranceTimeRange},
         [](SetStatusRequest& r, const OptionValue& v) { r.entranceTime = int(v.number); }},
        {{"--pin", "", "one pin of a memory switch, e.g. --pin 6:2=on",
          Values::Fields({{"SWITCH", '\0', Values::Numbers(SwitchNumbers())},
                          {"PIN", ':', Values::Numbers({{1, 8}})},
                          {"STATE", '=', Values::Names({"on", "off", "keep"})}})},
         [](SetStatusRequest& r, const OptionValue& v) {
             r.edits.push_back([slot = SlotOf(v.fields[0].number), pin = v.fields[1].number,
                                state = PinState(v.fields[2].number)](Form& form) {
                 form.record->switchPins[slot][pin] = state;
             });
         }},
    };
    return table;
}

struct ShowStsRequest {
    bool json = false;
};

const OptionTable<ShowStsRequest>& ShowStsTable()
{
    static const OptionTable<ShowStsRequest> table = {
        {{"--json", "", "print it as JSON", OptionValues::None()},
         [](ShowStsRequest& r, const OptionValue&) { r.json = true; }},
    };
    return table;
}

} // namespace

const char* GetStatusCommand::Description() const
{
    return "Checks the printer, reads its eight memory switches and power-save settings,\n"
           "and prints every pin with its label and the settings by their list texts.\n"
           "When a reply does not come whole, standard error names it, its pins read\n"
           "\"No Change\", and the exit status is 1.\n";
}

std::vector<const OptionInfo*> GetStatusCommand::Options() const
{
    return Infos(GetStatusTable());
}

int GetStatusCommand::Execute(CommandContext& context)
{
    GetStatusRequest request;
    if (!TakeArguments(context, GetStatusTable(), request))
        return kExitUsage;
    const auto session = PrinterSession::Open(context);
    if (!session)
        return kExitFailed;
    Exchange run(context, *session);
    if (!run.exchange.CheckPrinter())
        return kExitFailed;
    const StatusReadReport report = run.exchange.ReadStatus();
    // Replies cut off by an interruption are not the printer's: neither
    // printed, saved nor reported missing.
    if (platform::Interrupted())
        return kExitFailed;
    // The rows of a missing reply read "No Change": a technician reading them
    // sees the warning beside them, but a backup or a script's input made of
    // them would pass for the printer's status, so those wait for --partial.
    const bool whole = report.Complete() || request.partial;
    if (!request.json)
        PrintStatusText(context.out, run.record, &run.facts, kAllSlots, &report);
    else if (whole)
        PrintStatusJson(context.out, run.record, &run.facts, kAllSlots, &report);
    if (!report.Complete()) {
        context.err << NoAnswerMessage(report) << '\n';
        if (const std::string reason = session->Port().FailureText(); !reason.empty())
            context.err << reason << '\n';
        std::string withheld = whole || request.save.empty() ? "" : request.save + " not saved";
        if (!whole && request.json)
            withheld += withheld.empty() ? "no JSON printed" : ", no JSON printed";
        if (!withheld.empty())
            context.err << "kaloctl get-status: " << withheld << " (--partial gives what did come)\n";
    }
    std::string error;
    if (!request.save.empty() && whole && !StatusFile::Save(request.save, run.record, error)) {
        context.err << error << '\n';
        return kExitFailed;
    }
    return report.Complete() ? kExitOk : kExitFailed;
}

const char* SetStatusCommand::Description() const
{
    return "Writes memory switches and settings in user-setting mode. Only what is named\n"
           "changes: every other pin is sent as \"keep\". Settings go through the same\n"
           "translation as the Printer Setting page's lists, side effects included (a code\n"
           "page sets the single-byte country and clears switch 12, for example), and apply\n"
           "in the order given, after --load.\n";
}

std::vector<const OptionInfo*> SetStatusCommand::Options() const
{
    return Infos(SetStatusTable());
}

int SetStatusCommand::Execute(CommandContext& context)
{
    SetStatusRequest request;
    if (!TakeArguments(context, SetStatusTable(), request))
        return kExitUsage;
    StatusRecord record; // every pin PinNoChange
    PrinterSettingForm form;
    form.InitDialog(); // the double-byte list shows "No Change", as the window's does when it opens
    form.record = &record;
    for (int32_t& pin : form.savedDoubleBytePins)
        pin = PinNoChange; // "No Change" keeps switch 12 as the printer has it
    if (!request.load.empty()) {
        if (!StatusFile::HasStatusExtension(request.load)) {
            context.err << kWrongFormat << '\n';
            return kExitFailed;
        }
        std::string error;
        if (!StatusFile::Load(request.load, record, error)) {
            context.err << error << '\n';
            return kExitFailed;
        }
        // As in the window, a Load leaves the double-byte list as it was:
        // the file's choice goes out in switch 12 but starts no download.
    }
    for (const auto& edit : request.edits)
        edit(form);
    // The image is checked before anything is written, so a missing one
    // leaves the printer's font setting as it was.
    const FontChoice* font = FindFontChoice(form.doubleByteFontChoice);
    FontImage image;
    if (font && !FindFontImage(context, *font, "", image))
        return kExitFailed;

    const auto session = PrinterSession::Open(context);
    if (!session)
        return kExitFailed;
    Exchange run(context, *session);
    run.record = record;
    if (!run.exchange.CheckPrinter())
        return kExitFailed;
    if (!request.powerSave || !request.entranceTime) {
        // The power-save write always goes out: what is not named keeps the
        // printer's value, so without an answer there is nothing to keep.
        if (!run.exchange.ReadPowerSave().Complete()) {
            if (platform::Interrupted())
                return kExitFailed;
            context.err << "kaloctl set-status: the printer did not answer for power save, so the mode and entrance "
                           "time to keep are not known; nothing was written (give both --power-save and "
                           "--entrance-time to set them)\n";
            return kExitFailed;
        }
    }
    if (request.powerSave)
        run.facts.powerSaveMode = *request.powerSave;
    if (request.entranceTime)
        run.facts.entranceTime = *request.entranceTime;
    if (run.facts.entranceTime < Form::kEntranceTimeMin || run.facts.entranceTime > Form::kEntranceTimeMax) {
        context.err << Form::kEntranceTimeRange << '\n'; // the printer's own value, kept
        return kExitFailed;
    }
    run.exchange.WriteStatus();
    // A font download after a status the printer may not hold would only add
    // to the doubt: a stopped write ends here, as in the window.
    if (const int outcome = WriteOutcome(context, session->Port(), run.exchange.SetStatusOperation()); outcome != kExitOk)
        return outcome;
    if (font) {
        context.out << "Success to Change the Firmware,\n And Now Start Font Download!\nWhen download is finished, "
                       "KALO is closed.\n"
                    << std::flush;
        return SendFontImage(context, *session, std::move(image));
    }
    if (const FontChoice* loaded = FindFontChoice(record.doubleByteFontIndex); loaded && !request.load.empty()) {
        context.err << "kaloctl set-status: " << request.load << " chooses the double-byte font \""
                    << loaded->listText
                    << "\"; switch 12 was written from it, but the font image was not sent (kaloctl download-font "
                    << loaded->choice << " sends it)\n";
    }
    context.out << "Success to set status of printer\n";
    return kExitOk;
}

const char* PrintStatusCommand::Description() const
{
    return "Checks the printer and has it print its status sheet.\n";
}

int PrintStatusCommand::Execute(CommandContext& context)
{
    if (!TakeArguments(context))
        return kExitUsage;
    return OnPrinter(context, [&context](PrinterSession& session) {
        Exchange run(context, session);
        if (!run.exchange.PrintStatus())
            return int(kExitFailed); // the failed check has told why
        return WriteOutcome(context, session.Port(), WriteOperation::PrintStatus);
    });
}

const char* PrintCodepageCommand::Description() const
{
    return "Has the printer print its code-page sheet (no check, no reply).\n";
}

int PrintCodepageCommand::Execute(CommandContext& context)
{
    if (!TakeArguments(context))
        return kExitUsage;
    return OnPrinter(context, [&context](PrinterSession& session) {
        Exchange run(context, session);
        run.exchange.PrintCodepage();
        return WriteOutcome(context, session.Port(), WriteOperation::PrintCodepage);
    });
}

const char* SelfTestCommand::Description() const
{
    return "Has the printer print its test page and waits the 4.3 s it takes.\n";
}

int SelfTestCommand::Execute(CommandContext& context)
{
    if (!TakeArguments(context))
        return kExitUsage;
    return OnPrinter(context, [&context](PrinterSession& session) {
        RunSelfTest(session.Port(), context.platform.GetClock());
        return WriteOutcome(context, session.Port(), WriteOperation::SelfTest);
    });
}

const char* ShowStsCommand::Description() const
{
    return "Decodes a status file: switches 1, 2, 11 and 12 pin by pin, the settings\n"
           "they hold, and the double-byte font choice. No printer is needed.\n";
}

std::vector<const OptionInfo*> ShowStsCommand::Options() const
{
    return Infos(ShowStsTable());
}

int ShowStsCommand::Execute(CommandContext& context)
{
    ShowStsRequest request;
    if (!TakeArguments(context, ShowStsTable(), request))
        return kExitUsage;
    const std::string& path = context.args.front();
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
    if (request.json)
        PrintStatusJson(context.out, record, nullptr, kFileSlots);
    else
        PrintStatusText(context.out, record, nullptr, kFileSlots);
    return kExitOk;
}

} // namespace kalo::cli
