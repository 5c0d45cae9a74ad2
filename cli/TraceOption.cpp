#include "TraceOption.h"

#include "Option.h"

namespace kalo::cli {

namespace {

const OptionTable<TraceOptions>& Table()
{
    static const OptionTable<TraceOptions> table = {
        {{"--trace", "FILE|-",
          "write every transfer on the port, fixed wait and failure to FILE (- for standard error); "
          "kaloctl trace-view FILE reads it",
          OptionValues::Text("a file name, or - for standard error")},
         [](TraceOptions& o, const OptionValue& v) { o.file = v.text; }},
    };
    return table;
}

} // namespace

bool ExtractTraceOptions(std::vector<std::string>& args, TraceOptions& options, std::string& error)
{
    return TakeOptions(Table(), args, OtherArguments::Leave, options, error);
}

void PrintTraceOptions(std::ostream& out)
{
    out << "Trace:\n";
    PrintOptions(out, Infos(Table()));
}

bool CommandTrace::Start(const TraceOptions& options, platform::Platform& plain, std::ostream& err,
                         std::string& error)
{
    if (options.file.empty())
        return true;
    std::ostream* out = &err;
    if (options.file != "-") {
        m_file = platform::OpenTraceStream(options.file, error);
        if (!m_file) {
            error = "cannot write the trace file '" + options.file + "': " + error;
            return false;
        }
        out = m_file.get();
    }
    m_trace = std::make_unique<platform::WireTrace>(*out, plain.GetClock());
    m_platform = std::make_unique<platform::TracingPlatform>(plain, *m_trace);
    return true;
}

} // namespace kalo::cli
