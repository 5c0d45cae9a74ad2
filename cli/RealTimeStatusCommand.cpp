#include "RealTimeStatusCommand.h"

#include "PrinterCommand.h"
#include "StatusReport.h"

namespace kalo::cli {

namespace {

const OptionTable<bool>& Table()
{
    static const OptionTable<bool> table = {
        {{"--json", "", "print {\"state\", \"ready\", \"paper\", \"coverOpen\", \"offline\", \"errors\", ...} as JSON",
          OptionValues::None()},
         [](bool& json, const OptionValue&) { json = true; }},
    };
    return table;
}

template <typename T>
Json Known(const std::optional<T>& value)
{
    return value ? Json(*value) : Json(nullptr);
}

} // namespace

Json RealTimeStatusJson(const RealTimeStatus& status)
{
    Json replies = Json::object();
    for (size_t i = 0; i < status.replies.size(); ++i)
        replies[std::to_string(i + 1)] = Known(status.replies[i]);
    return Json{{"state", PrinterStateWord(status.state)},
                {"text", status.Text()},
                {"ready", status.Ready()},
                {"paper", PaperStateWord(status.paper)},
                {"coverOpen", Known(status.coverOpen)},
                {"offline", Known(status.offline)},
                {"errors", Known(status.errors)},
                {"drawerHigh", Known(status.drawerHigh)},
                {"info", status.info},
                {"lineStatus", status.fromLineStatus},
                {"replies", replies}};
}

int ExitStatusOf(PrinterState state)
{
    if (state == PrinterState::Ready)
        return kExitOk;
    if (NeedsAttention(state))
        return kExitAttention;
    return CannotPrint(state) ? kExitCannotPrint : kExitFailed;
}

const char* RealTimeStatusCommand::Description() const
{
    return "Asks the printer for its real-time status (DLE EOT 1 to 4) and sends\n"
           "nothing else: no initialisation, no identification, and the print queues\n"
           "are left alone, so a printer in the middle of a receipt is not disturbed;\n"
           "a port a print queue is printing on is reported busy and not opened.\n"
           "Prints the state in words (\"Ready\", \"Paper near end\", \"Cover open,\n"
           "paper out\"). Exit status: 0 ready; 4 it prints but needs attention soon;\n"
           "5 it cannot print; 1 no answer, a part unknown, the port failed or busy.\n";
}

std::vector<const OptionInfo*> RealTimeStatusCommand::Options() const
{
    return Infos(Table());
}

int RealTimeStatusCommand::Execute(CommandContext& context)
{
    bool json = false;
    if (!TakeArguments(context, Table(), json))
        return kExitUsage;
    if (!PrinterNamed(context, Name()))
        return kExitUsage;
    SessionFailure failure = SessionFailure::None;
    const auto session = OpenPrinterSession(context, false, &failure);
    if (failure == SessionFailure::Interrupted)
        return kExitFailed;
    const RealTimeStatus status = session
        ? ReadRealTimeStatus(session->Port(), session->Interface())
        : RealTimeStatus::Unread(failure == SessionFailure::Busy ? PrinterState::Busy : PrinterState::Unreachable);
    if (session && status.state == PrinterState::Unknown)
        context.err << UnreadReason(session->Port()) << '\n';
    if (json)
        PrintJson(context.out, RealTimeStatusJson(status));
    else
        context.out << status.Text() << '\n';
    return ExitStatusOf(status.state);
}

} // namespace kalo::cli
