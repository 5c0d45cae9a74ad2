#include "TraceOption.h"

#include "cli/options/Option.h"

namespace kalo::cli {

namespace {

const OptionTable<TraceOptions>& Table()
{
    static const OptionTable<TraceOptions> table = {
        {{"--trace", "FILE|-",
          "write every transfer on the port, fixed wait and failure to FILE as they happen "
          "(commands that need no printer write none); kaloctl trace-view FILE reads it",
          OptionValues::Text("a file name, or - for standard error")},
         [](TraceOptions& o, const OptionValue& v) { o.file = v.text; }},
    };
    return table;
}

} // namespace

bool ExtractTraceOptions(std::vector<std::string>& args, TraceOptions& options, std::string& error)
{
    return TakeOptions(Table(), args, options, error);
}

std::vector<const OptionInfo*> TraceOptionInfos()
{
    return Infos(Table());
}

void PrintTraceOptions(std::ostream& out)
{
    out << "Trace:\n";
    PrintOptions(out, Infos(Table()));
}

} // namespace kalo::cli
