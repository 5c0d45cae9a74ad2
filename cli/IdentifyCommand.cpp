#include "IdentifyCommand.h"

#include "SpoolerHold.h"

#include "app/PrinterIdentification.h"
#include "platform/ConsoleMessageSink.h"

namespace kalo::cli {

const char* IdentifyCommand::Help() const
{
    return "Opens the port, initialises the printer and asks for its identification\n"
           "byte, maker and model. Prints the maker and model of a supported printer\n"
           "and exits 0; otherwise prints why on standard error and exits 1.\n";
}

int IdentifyCommand::Execute(CommandContext& context)
{
    if (!context.args.empty()) {
        context.err << "kaloctl identify: unexpected argument '" << context.args.front() << "'\n";
        return kExitUsage;
    }
    const ResolvedConnection connection =
        ResolveConnection(context.connection, context.registry, context.platform.Messages());
    SpoolerHold hold(context.spooler, context.platform.Ports(), connection.portName);
    CPrinterPort port(context.platform);
    const IdentifyResult result =
        ConnectPrinter(port, connection.settings, connection.interfaceKind, context.platform.GetClock());
    const OutcomeMessage& message = MessageFor(result.outcome);
    if (!result.Connected()) {
        context.err << platform::ConsoleMessageSink::PlainLines(message.text) << '\n';
        return kExitFailed;
    }
    context.out << message.text << '\n' << "Maker: " << result.maker << '\n' << "Model: " << result.model << '\n';
    port.Close();
    return kExitOk;
}

} // namespace kalo::cli
