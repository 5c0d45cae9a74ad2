// The virtual printer's command engine fed any byte stream. A link hands it
// over in pieces of any size, so the stream is given twice, whole and in
// pieces of the size its first byte sets: the printer must answer and print
// the same either way, as it keeps an unfinished command for the rest.
#include "sim/VirtualPrinter.h"

#include <algorithm>
#include "FuzzTarget.h"

using namespace kalo::sim;

namespace {

struct Outcome {
    std::vector<uint8_t> reply;
    std::vector<std::string> paper;
    bool operator==(const Outcome&) const = default;
};

Outcome Feed(const uint8_t* data, size_t size, size_t piece)
{
    Outcome outcome;
    VirtualPrinter printer(PrinterOptions{}, [&outcome](const std::string& line) { outcome.paper.push_back(line); });
    for (size_t at = 0; at < size; at += piece)
        printer.Receive(data + at, std::min(piece, size - at), outcome.reply);
    printer.EndOfStream();
    return outcome;
}

} // namespace

void kalo::fuzz::Fuzz(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    const size_t piece = size_t(data[0] % 16) + 1;
    AbortIf(!(Feed(data + 1, size - 1, piece) == Feed(data + 1, size - 1, size)));
}
