#include "connect/PrinterIdentification.h"
#include "sim/InProcessPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kalo;
using sim::InProcessPlatform;
using sim::PrinterOptions;
using Bytes = std::vector<uint8_t>;

namespace {

enum class Link { Serial, Network };

// Check Communication's identification, run at once on the link given.
struct Identification {
    explicit Identification(Link link, PrinterOptions options = {})
        : machine(std::move(options))
        , port(machine)
        , result(ConnectPrinter(port, link == Link::Serial ? LinePortSettings("COM1", 9600, 8, 0, 0, 0)
                                                          : NetworkPortSettings(machine.networkHost, machine.networkPort),
                                link == Link::Serial ? PortKind::Serial : PortKind::Ethernet, machine.Clock()))
    {
    }
    InProcessPlatform machine;
    CPrinterPort port;
    IdentifyResult result;
};

const std::vector<Bytes> kFullExchange = {
    {0x1B, 0x40}, {0x1B, 0x3D, 0x01}, {0x1D, 0x61, 0x00}, {0x1D, 0x49, 0x03}, {0x1D, 0x49, 0x42}, {0x1D, 0x49, 0x43},
};

PrinterOptions With(void (*change)(PrinterOptions&))
{
    PrinterOptions options;
    change(options);
    return options;
}

} // namespace

// The plain refusals (a silent printer, a wrong id byte, maker or model, a
// hang-up) are kaloctl's fault matrix, on every link; here the edges of the
// replies each link reads differently.
TEST(Identification, EveryOutcomeOnEveryLink)
{
    using enum ConnectOutcome;
    const struct {
        const char* what;
        PrinterOptions options;
        ConnectOutcome serial, network;
    } rows[] = {
        {"TLR-740plusII", {}, Connected, Connected},
        {"TLR-742plusII", With([](auto& o) { o.model = "TLR-742plusII"; }), Connected, Connected},
        {"TLR-740II", With([](auto& o) { o.model = "TLR-740II"; }), Connected, Connected},
        // A byte-wise model read waits 100 ms and then 110 ms for the first byte.
        {"replies 150 ms late", With([](auto& o) { o.slowDelayMs = 150; }), Connected, Connected},
        {"replies 300 ms late", With([](auto& o) { o.slowDelayMs = 300; }), WrongModel, Connected},
        // A block read takes what has arrived; a trickled text is cut to its header there.
        {"trickled replies", With([](auto& o) { o.slowDelayMs = 150, o.slowGapMs = 20; }), Connected, WrongMaker},
        {"maker in lower case", With([](auto& o) { o.maker = "kemtran"; }), WrongMaker, WrongMaker},
        // Byte-wise links drop every "_"; block links keep it.
        {"maker with an extra _", With([](auto& o) { o.maker = "KEM_TRAN"; }), Connected, WrongMaker},
        {"model with a trailing blank", With([](auto& o) { o.model = "TLR-740II "; }), WrongModel, WrongModel},
    };
    for (const auto& row : rows) {
        for (Link link : {Link::Serial, Link::Network}) {
            SCOPED_TRACE(std::string(row.what) + (link == Link::Serial ? " on serial" : " on network"));
            Identification id(link, row.options);
            const ConnectOutcome expected = link == Link::Serial ? row.serial : row.network;
            EXPECT_EQ(id.result.outcome, expected);
            // Accepted: the port stays open. Refused: it is closed again.
            EXPECT_EQ(id.machine.openDevices, expected == Connected ? 1 : 0);
            EXPECT_EQ(id.port.HoldsPort(), expected == Connected);
            EXPECT_TRUE(expected != Connected || id.result.maker == "KEMTRAN") << id.result.maker;
        }
    }
}

TEST(Identification, ExchangeBytesAndWaitsInTheirOrder)
{
    const std::vector<uint32_t> quietLine = {100,                     // open
                                             50, 50, 50, 50, 50,      // drain
                                             100, 100, 100, 100, 100, // after GS a 0
                                             100};                    // before the id byte
    std::vector<uint32_t> serial = quietLine, serialWrongId = quietLine;
    serial.insert(serial.end(), {1000, 500, /* maker */ 100 /* model */});
    serialWrongId.insert(serialWrongId.end(), 10, 100); // ten more single bytes
    const struct {
        const char* name;
        Link link;
        bool wrongId;
        std::vector<uint32_t> waits;
    } rows[] = {
        {"serial", Link::Serial, false, serial},
        {"network", Link::Network, false, {200, 200, 500, 200}},
        // A wrong id byte is refused before the maker is asked; block links give up at once.
        {"serial, wrong id", Link::Serial, true, serialWrongId},
        {"network, wrong id", Link::Network, true, {200}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Identification id(row.link, row.wrongId ? With([](auto& o) { o.wrongId = true; }) : PrinterOptions{});
        std::vector<Bytes> written;
        for (const auto& chunk : id.machine.lastLink->Written())
            written.push_back(chunk.bytes);
        EXPECT_EQ(written, std::vector<Bytes>(kFullExchange.begin(), kFullExchange.end() - (row.wrongId ? 2 : 0)));
        EXPECT_EQ(id.machine.Clock().Sleeps(), row.waits);
        EXPECT_EQ(id.result.model, row.wrongId ? "" : "TLR-740plusII");
    }
}

// A babbling printer cannot hold the drain: it gives up after a hundred waits.
TEST(Identification, ABabblingPrinterCannotHoldTheDrain)
{
    Identification id(Link::Serial, With([](auto& o) { o.noise = true; }));
    const auto& waits = id.machine.Clock().Sleeps();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), 50u), 100);
}
