#include "StatusCommands.h"

#include "FontCommand.h"
#include "StatusReport.h"
#include "platform/Terminal.h"
#include "port/WriteReport.h"
#include "status/PrinterSettingForm.h"
#include "status/ProfileJson.h"
#include "status/StatusApply.h"
#include "status/StatusTexts.h"
#include "status/StatusFile.h"

#include <functional>
#include <iostream>
#include <optional>

namespace kalo::cli {

namespace {

using Form = PrinterSettingForm;

const std::vector<int> kAllSlots = {0, 1, 2, 3, 4, 5, 6, 7};
const std::vector<int> kFileSlots = {0, 1, 6, 7};

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

const OptionTable<GetStatusRequest>& GetStatusTable()
{
    static const OptionTable<GetStatusRequest> table = {
        {{"--json", "", "print it as JSON", OptionValues::None()},
         [](GetStatusRequest& r, const OptionValue&) { r.json = true; }},
        {{"--save", "FILE", "also save it as a status file",
          OptionValues::Text("a file name ending in \"sts\", as Load takes", StatusFile::HasStatusExtension)},
         [](GetStatusRequest& r, const OptionValue& v) { r.save = v.text; }},
        {{"--profile-out", "FILE", "also write the printer's profile (JSON: every pin, the settings, power save)",
          OptionValues::Text("a file name")},
         [](GetStatusRequest& r, const OptionValue& v) { r.profileOut = v.text; }},
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
    std::string profile;
    bool ifDifferent = false;
    bool verify = false;
    bool dryRun = false;
    bool json = false;
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
        {{"--profile", "FILE",
          "the whole status from a profile (JSON) or a status file, instead of the options that name switches "
          "and settings",
          Values::Text("a file name")},
         [](SetStatusRequest& r, const OptionValue& v) { r.profile = v.text; }},
        {{"--if-different", "", "read the printer first and write only when it differs", Values::None()},
         [](SetStatusRequest& r, const OptionValue&) { r.ifDifferent = true; }},
        {{"--verify", "", "read the switches and power save back after writing; a pin not taken fails",
          Values::None()},
         [](SetStatusRequest& r, const OptionValue&) { r.verify = true; }},
        {{"--dry-run", "", "read the printer and print what would change; write nothing", Values::None()},
         [](SetStatusRequest& r, const OptionValue&) { r.dryRun = true; }},
        {{"--json", "", "print the outcome as one JSON object", Values::None()},
         [](SetStatusRequest& r, const OptionValue&) { r.json = true; }},
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

TerminalStatusRun::TerminalStatusRun(CommandContext& context, PrinterSession& session)
    : progress(context.err, context.ProgressShown(), context.platform.GetClock())
    , run(session.Port(), session.Interface(), context.platform.GetClock(), context.platform.Messages(), progress)
{
}

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

int GetStatusCommand::Prepare(CommandContext& context)
{
    m_request = {};
    return TakeArguments(context, GetStatusTable(), m_request) ? kOpenPrinter : kExitUsage;
}

int GetStatusCommand::Run(CommandContext& context, PrinterSession& session)
{
    const GetStatusRequest& request = m_request;
    TerminalStatusRun terminal(context, session);
    StatusRun& run = terminal.run;
    const StatusRun::Reading reading = run.ReadPrinter();
    // Replies cut off by an interruption are not the printer's: neither
    // printed, saved nor reported missing.
    if (!reading.checked || reading.interrupted)
        return kExitFailed;
    const StatusReadReport& report = reading.report;
    // The rows of a missing reply read "No Change": a technician reading them
    // sees the warning beside them, but a backup or a script's input made of
    // them would pass for the printer's status, so those wait for --partial.
    const bool whole = report.Complete() || request.partial;
    if (!request.json)
        PrintStatusText(context.out, run.record, &run.facts, kAllSlots, &report);
    else if (whole)
        PrintStatusJson(context.out, run.record, &run.facts, kAllSlots, &report);
    if (!report.Complete()) {
        context.err << reading.trouble << '\n';
        std::string withheld = whole || request.save.empty() ? "" : request.save + " not saved";
        if (!whole && request.json)
            withheld += withheld.empty() ? "no JSON printed" : ", no JSON printed";
        if (!withheld.empty())
            context.err << "kaloctl get-status: " << withheld << " (--partial gives what did come)\n";
        // A profile holds no "No Change": one from half a read would pass for the printer's.
        if (!request.profileOut.empty())
            context.err << "kaloctl get-status: " << request.profileOut << " not written (a profile needs every reply)\n";
    }
    std::string error;
    if (!request.save.empty() && whole && !StatusFile::Save(request.save, run.record, error)) {
        context.err << error << '\n';
        return kExitFailed;
    }
    if (!request.profileOut.empty() && report.Complete()
        && !ProfileJson::Save(request.profileOut, PrinterProfile(run.record, run.facts), error)) {
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
           "in the order given, after --load.\n"
           "\n"
           "--profile takes the whole status from a file: its settings first, then its pins\n"
           "over them, then power save; what it leaves out is kept. A profile that cannot\n"
           "be taken is refused (exit 2) before the port is opened; a double-byte font in\n"
           "it sets the pins only (download-font sends the image). --verify fails (exit 1)\n"
           "naming every pin the printer did not take.\n";
}

std::vector<const OptionInfo*> SetStatusCommand::Options() const
{
    return Infos(SetStatusTable());
}

namespace {

int Finish(CommandContext& context, const SetStatusRequest& request, const StatusApplyOutcome& outcome, int status)
{
    if (request.json) {
        PrintJson(context.out, Json{{"changed", outcome.changed},
                                    {"written", outcome.written},
                                    {"verified", outcome.verified ? Json(*outcome.verified) : Json()},
                                    {"differences", DifferencesJson(outcome.differences)},
                                    {"message", outcome.message}});
    } else if (status == kExitOk) {
        PrintDifferences(context.out, outcome.differences);
        context.out << outcome.message << '\n';
    }
    return status;
}

} // namespace

int SetStatusCommand::Execute(CommandContext& context)
{
    SetStatusRequest request;
    if (!TakeArguments(context, SetStatusTable(), request))
        return kExitUsage;
    // Entering user-setting mode to write nothing but "keep" would still end
    // in "Success", as if something had been set.
    if (request.profile.empty() && request.load.empty() && request.edits.empty() && !request.powerSave
        && !request.entranceTime) {
        Refuse(context, "nothing to set: name a setting, --pin, --power-save, --entrance-time, --load or --profile");
        return kExitUsage;
    }
    StatusApplyRequest apply;
    apply.readFirst = request.ifDifferent;
    apply.dryRun = request.dryRun;
    apply.verify = request.verify;
    StatusTarget& asked = apply.asked; // every pin PinNoChange
    PrinterSettingForm form;
    form.EditWithoutStatus(asked.record);
    if (!request.profile.empty()) {
        if (!request.load.empty() || !request.edits.empty() || request.powerSave || request.entranceTime)
        {
            Refuse(context, "--profile names the whole status; give it without --load, --pin, --power-save, "
                            "--entrance-time and the settings");
            return kExitUsage;
        }
        Profile profile;
        std::string error;
        if (!ProfileJson::Load(request.profile, profile, error)) {
            context.err << "kaloctl set-status: " << error << '\n';
            return kExitUsage;
        }
        asked = ResolveProfile(profile);
    } else {
        if (!request.load.empty()) {
            if (!StatusFile::HasStatusExtension(request.load)) {
                context.err << kWrongStatusFormat << '\n';
                return kExitFailed;
            }
            std::string error;
            if (!StatusFile::Load(request.load, asked.record, error)) {
                context.err << error << '\n';
                return kExitFailed;
            }
            // As in the window, a Load leaves the double-byte list as it was:
            // the file's choice goes out in switch 12 but starts no download.
        }
        for (const auto& edit : request.edits)
            edit(form);
        if (request.powerSave)
            asked.powerSave = *request.powerSave != 0;
        asked.entranceTime = request.entranceTime;
        apply.fontChoice = form.doubleByteFontChoice;
    }
    // The image is checked before anything is written, so a missing one
    // leaves the printer's font setting as it was.
    const FontChoice* font = ChoiceNeedsDownload(apply.fontChoice) ? FindFontChoice(apply.fontChoice) : nullptr;
    if (font && (request.ifDifferent || request.dryRun || request.verify || request.json)) {
        Refuse(context, "a font download goes with none of --if-different, --dry-run, --verify and --json (set "
                        "the other switches first, then the font)");
        return kExitUsage;
    }
    FontImage image;
    if (font && !FindFontImage(context, *font, "", image))
        return kExitFailed;

    if (!PrinterNamed(context, Name()))
        return kExitUsage;
    const auto session = OpenPrinterSession(context);
    if (!session) {
        StatusApplyOutcome outcome;
        outcome.message = "the printer could not be used (standard error says why)";
        return Finish(context, request, outcome, kExitFailed);
    }
    TerminalStatusRun terminal(context, *session);
    const StatusApplyOutcome outcome = ApplyStatus(terminal.run, apply);
    if (outcome.downloadFont && font) {
        context.out << kFontChangeStarted << "\nWhen the download is finished, kaloctl exits.\n" << std::flush;
        return SendFontImage(context, *session, std::move(image));
    }
    const FontChoice* loaded = FindFontChoice(asked.record.doubleByteFontIndex);
    if (outcome.written && loaded && !request.load.empty()) {
        context.err << "kaloctl set-status: " << request.load << " chooses the double-byte font \""
                    << loaded->listText
                    << "\"; switch 12 was written from it, but the font image was not sent (kaloctl download-font "
                    << loaded->choice << " sends it)\n";
    }
    if (!outcome.trouble.empty())
        context.err << outcome.trouble << '\n';
    switch (outcome.end) {
    case StatusApplyEnd::Written:
    case StatusApplyEnd::Unchanged: return Finish(context, request, outcome, kExitOk);
    case StatusApplyEnd::Interrupted: return kExitFailed;
    case StatusApplyEnd::PowerSaveUnknown:
    case StatusApplyEnd::NotReadBack:
    case StatusApplyEnd::NotTaken: context.err << "kaloctl set-status: " << outcome.message << '\n'; break;
    case StatusApplyEnd::EntranceTimeRefused: context.err << outcome.message << '\n'; break;
    case StatusApplyEnd::NotRead:
    case StatusApplyEnd::CheckFailed:
    case StatusApplyEnd::WriteStopped: break;
    }
    return Finish(context, request, outcome, kExitFailed);
}

const char* PrintStatusCommand::Description() const
{
    return "Checks the printer and has it print its status sheet.\n";
}

int PrintStatusCommand::Run(CommandContext& context, PrinterSession& session)
{
    TerminalStatusRun terminal(context, session);
    if (!terminal.run.exchange.PrintStatus())
        return kExitFailed; // the failed check has told why
    return WriteOutcome(context, session.Port(), WriteOperation::PrintStatus);
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
        context.err << kWrongStatusFormat << '\n';
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
