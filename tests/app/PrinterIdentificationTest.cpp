#include "app/PrinterIdentification.h"
#include "platform/PosixPlatform.h"
#include "platform/RecordingMessageSink.h"
#include "platform/posix/PosixSerialDevice.h"
#include "sim/InProcessPlatform.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <netdb.h>

using namespace kalo;
using sim::InProcessPlatform;
using sim::PrinterOptions;
using Bytes = std::vector<uint8_t>;

namespace {

enum class Link { Serial, Network };

struct Identification {
    explicit Identification(Link link, PrinterOptions options = {})
        : machine(std::move(options))
        , port(machine)
        , kind(link == Link::Serial ? PortKind::Serial : PortKind::Ethernet)
    {
    }

    IdentifyResult Run(PortSettings settings)
    {
        result = ConnectPrinter(port, settings, kind, machine.Clock());
        return result;
    }
    IdentifyResult Run()
    {
        return Run(kind == PortKind::Serial ? LinePortSettings("COM1", 9600, 8, 0, 0, 0)
                                            : NetworkPortSettings(machine.networkHost, machine.networkPort));
    }
    std::vector<Bytes> Written() const
    {
        std::vector<Bytes> written;
        if (machine.lastLink) {
            for (const auto& chunk : machine.lastLink->Written())
                written.push_back(chunk.bytes);
        }
        return written;
    }
    int Sleeps(uint32_t ms)
    {
        const auto& all = machine.Clock().Sleeps();
        return int(std::count(all.begin(), all.end(), ms));
    }

    InProcessPlatform machine;
    CPrinterPort port;
    PortKind kind;
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

TEST(Identification, EveryOutcomeOnEveryLink)
{
    const struct {
        const char* what;
        PrinterOptions options;
        ConnectOutcome serial;
        ConnectOutcome network;
    } rows[] = {
        {"TLR-740plusII", {}, ConnectOutcome::Connected, ConnectOutcome::Connected},
        {"TLR-742plusII", With([](PrinterOptions& o) { o.model = "TLR-742plusII"; }), ConnectOutcome::Connected,
         ConnectOutcome::Connected},
        {"TLR-740II", With([](PrinterOptions& o) { o.model = "TLR-740II"; }), ConnectOutcome::Connected,
         ConnectOutcome::Connected},
        // A byte-wise model read waits 100 ms and then 110 ms for the first byte.
        {"replies 150 ms late", With([](PrinterOptions& o) { o.slowDelayMs = 150; }), ConnectOutcome::Connected,
         ConnectOutcome::Connected},
        {"replies 300 ms late", With([](PrinterOptions& o) { o.slowDelayMs = 300; }), ConnectOutcome::WrongModel,
         ConnectOutcome::Connected},
        // A block read takes what has arrived; a trickled text is cut to its header there.
        {"trickled replies", With([](PrinterOptions& o) { o.slowDelayMs = 150, o.slowGapMs = 20; }),
         ConnectOutcome::Connected, ConnectOutcome::WrongMaker},
        {"initialise not written whole", With([](PrinterOptions& o) { o.closeAfter = 1; }),
         ConnectOutcome::PortError, ConnectOutcome::PortError},
        {"wrong id byte", With([](PrinterOptions& o) { o.wrongId = true; }), ConnectOutcome::NoPrinterId,
         ConnectOutcome::NoPrinterId},
        {"silent", With([](PrinterOptions& o) { o.silent = true; }), ConnectOutcome::NoPrinterId,
         ConnectOutcome::NoPrinterId},
        {"endless noise", With([](PrinterOptions& o) { o.noise = true; }), ConnectOutcome::NoPrinterId,
         ConnectOutcome::NoPrinterId},
        {"wrong maker", With([](PrinterOptions& o) { o.maker = "ACME"; }), ConnectOutcome::WrongMaker,
         ConnectOutcome::WrongMaker},
        {"maker in lower case", With([](PrinterOptions& o) { o.maker = "kemtran"; }), ConnectOutcome::WrongMaker,
         ConnectOutcome::WrongMaker},
        // Byte-wise links drop every "_"; block links keep it.
        {"maker with an extra _", With([](PrinterOptions& o) { o.maker = "KEM_TRAN"; }),
         ConnectOutcome::Connected, ConnectOutcome::WrongMaker},
        {"wrong model", With([](PrinterOptions& o) { o.model = "RP-F10"; }), ConnectOutcome::WrongModel,
         ConnectOutcome::WrongModel},
        {"model with a trailing blank", With([](PrinterOptions& o) { o.model = "TLR-740II "; }),
         ConnectOutcome::WrongModel, ConnectOutcome::WrongModel},
    };
    for (const auto& row : rows) {
        for (Link link : {Link::Serial, Link::Network}) {
            SCOPED_TRACE(std::string(row.what) + (link == Link::Serial ? " on serial" : " on network"));
            Identification id(link, row.options);
            const ConnectOutcome expected = link == Link::Serial ? row.serial : row.network;
            const IdentifyResult result = id.Run();
            EXPECT_EQ(result.outcome, expected);
            // Accepted: the port stays open. Refused: it is closed again.
            EXPECT_EQ(id.machine.openDevices, expected == ConnectOutcome::Connected ? 1 : 0);
            EXPECT_EQ(id.port.HoldsPort(), expected == ConnectOutcome::Connected);
            if (expected == ConnectOutcome::Connected) {
                EXPECT_EQ(result.maker, "KEMTRAN");
            }
        }
    }
}

TEST(Identification, ExchangeBytesAndWaitsInTheirOrder)
{
    const struct {
        const char* name;
        Link link;
        std::vector<uint32_t> waits;
    } rows[] = {
        {"serial", Link::Serial,
         {100,                     // open
          50, 50, 50, 50, 50,      // drain of a quiet line
          100, 100, 100, 100, 100, // after GS a 0
          100,                     // before the id byte
          1000, 500,               // maker
          100}},                   // model
        {"network", Link::Network, {200, 200, 500, 200}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Identification id(row.link);
        ASSERT_TRUE(id.Run().Connected());
        EXPECT_EQ(id.Written(), kFullExchange);
        EXPECT_EQ(id.machine.Clock().Sleeps(), row.waits);
        EXPECT_EQ(id.result.model, "TLR-740plusII");
    }
}

TEST(Identification, WrongIdByteIsRefusedBeforeTheMakerIsAsked)
{
    for (Link link : {Link::Serial, Link::Network}) {
        SCOPED_TRACE(link == Link::Serial ? "serial" : "network");
        Identification id(link, With([](PrinterOptions& o) { o.wrongId = true; }));
        EXPECT_EQ(id.Run().outcome, ConnectOutcome::NoPrinterId);
        EXPECT_EQ(id.Written(), std::vector<Bytes>(kFullExchange.begin(), kFullExchange.begin() + 4));
        // Byte-wise links try ten more single bytes; block links give up at once.
        EXPECT_EQ(id.Sleeps(100), link == Link::Serial ? 5 + 1 + 10 + 1 : 0);
    }
}

TEST(Identification, ABabblingPrinterCannotHoldTheDrain)
{
    Identification id(Link::Serial, With([](PrinterOptions& o) { o.noise = true; }));
    EXPECT_EQ(id.Run().outcome, ConnectOutcome::NoPrinterId);
    EXPECT_EQ(id.Sleeps(50), 100);
    EXPECT_LT(id.machine.Clock().NowMicros(), 30 * 1000000);
}

TEST(Identification, PortFailuresCarryTheirReason)
{
    const struct {
        const char* what;
        Link link;
        PortSettings settings;
        PrinterOptions options;
        ConnectOutcome outcome;
        const char* reason;
    } rows[] = {
        {"parallel port", Link::Serial, LinePortSettings("LPT1", 9600, 8, 0, 0, 0), {},
         ConnectOutcome::ConfigureFailed, "configure LPT1: parallel ports are not part of this build"},
        {"unknown host", Link::Network, NetworkPortSettings("printer.invalid", 9100), {}, ConnectOutcome::OpenFailed,
         "connect printer.invalid:9100: Name or service not known (check the printer's address)"},
        {"connection closed at once", Link::Network, NetworkPortSettings("10.0.0.50", 9100),
         With([](PrinterOptions& o) { o.closeAfter = 1; }), ConnectOutcome::PortError,
         "send 10.0.0.50:9100: Broken pipe"},
        {"no answer is no port failure", Link::Serial, LinePortSettings("COM1", 9600, 8, 0, 0, 0),
         With([](PrinterOptions& o) { o.silent = true; }), ConnectOutcome::NoPrinterId, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Identification id(row.link, row.options);
        const IdentifyResult result = id.Run(row.settings);
        EXPECT_EQ(result.outcome, row.outcome);
        EXPECT_EQ(platform::DescribeFailure(result.failure, row.settings.portName), row.reason);
        EXPECT_EQ(id.machine.openDevices, 0);
        // Only a refused connection shows a box of the port's own; the reason is the caller's to show.
        const auto& boxes = id.machine.Recorded().Messages();
        ASSERT_EQ(boxes.size(), row.outcome == ConnectOutcome::OpenFailed ? 1u : 0u);
        if (!boxes.empty()) {
            EXPECT_EQ(boxes[0].caption, "Error");
            EXPECT_EQ(boxes[0].detail, "");
        }
    }
}

// The same exchange against kalo-vprinter over real links.
TEST(IdentificationOverRealLinks, TcpAndPty)
{
    const struct {
        std::vector<std::string> args;
        ConnectOutcome outcome;
    } rows[] = {
        {{"--model", "TLR-742plusII"}, ConnectOutcome::Connected},
        {{"--fault", "wrong-maker"}, ConnectOutcome::WrongMaker},
    };
    for (const auto& row : rows) {
        auto args = row.args;
        args.insert(args.end(), {"--tcp", "0", "--pty", "--paper", "/dev/null"});
        test::VirtualPrinterProcess printer(args);
        ASSERT_GT(printer.tcpPort, 0);
        ASSERT_FALSE(printer.ptyPath.empty());
        platform::RecordingMessageSink messages;
        const std::string pty = printer.ptyPath;
        platform::PosixPlatform machine(messages, platform::PortMap([pty](const char* name) -> const char* {
            return std::string(name) == "KALO_PORT_COM4" ? pty.c_str() : nullptr;
        }));
        CPrinterPort port(machine);
        const IdentifyResult overTcp = ConnectPrinter(
            port, NetworkPortSettings(printer.tcpAddress, uint32_t(printer.tcpPort)), PortKind::Ethernet, machine.GetClock());
        EXPECT_EQ(overTcp.outcome, row.outcome);
        port.Close();
        const IdentifyResult overPty =
            ConnectPrinter(port, LinePortSettings("COM4", 19200, 8, 0, 0, 0), PortKind::Serial, machine.GetClock());
        EXPECT_EQ(overPty.outcome, row.outcome);
        port.Close();
    }
}

// kaloctl as a technician runs it: each port failure says why on the line
// below the message, in the system's own words.
TEST(IdentificationOverRealLinks, KaloctlSaysWhyThePortFailed)
{
    test::VirtualPrinterProcess printer({"--pty", "--paper", "/dev/null"});
    ASSERT_FALSE(printer.ptyPath.empty());
    const std::string closedPort = std::to_string(test::ClosedLoopbackPort());
    const std::string unknownHost = "kalo-no-such-host.invalid";
    // The resolver's words for it depend on the machine's resolver.
    addrinfo* found = nullptr;
    const int looked = getaddrinfo(unknownHost.c_str(), nullptr, nullptr, &found);
    if (found)
        freeaddrinfo(found);
    ASSERT_NE(looked, 0);
    const std::string unknownHostReason = gai_strerror(looked);

    const std::string cantOpen = "Can't open port and Printer is disconnected\n";
    const std::string connectError =
        "Error : Failed to connected \nPlease, check IP port configuration in printer control pannel \"PORT\"\n";
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string device;
        bool asNobody;
        bool heldByUs;
        std::string err;
    } rows[] = {
        // Tests run as root; the pty's slave is root's alone, so a user without rights is run for real.
        {"permission denied", {"--serial", "COM1", "identify"}, printer.ptyPath, true, false,
         cantOpen + "open " + printer.ptyPath + ": Permission denied (add the user to the dialout group)\n"},
        {"missing device", {"--serial", "COM1", "identify"}, "/dev/kalo-missing-tty", false, false,
         cantOpen + "open /dev/kalo-missing-tty: No such file or directory (set KALO_PORT_COM1 to the device)\n"},
        {"busy device", {"--serial", "COM1", "identify"}, printer.ptyPath, false, true,
         cantOpen + "open " + printer.ptyPath + ": busy (another program holds it)\n"},
        {"refused connection", {"--tcp", "127.0.0.1:" + closedPort, "identify"}, "", false, false,
         connectError + cantOpen + "connect 127.0.0.1:" + closedPort + ": Connection refused\n"},
        {"unknown host", {"--tcp", unknownHost, "identify"}, "", false, false,
         connectError + cantOpen + "connect " + unknownHost + ":9100: " + unknownHostReason
             + " (check the printer's address)\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        platform::PosixSerialDevice holder;
        if (row.heldByUs) {
            ASSERT_EQ(holder.Open(row.device), platform::kOk);
        }
        std::vector<std::string> args = row.args;
        std::string program = KALO_KALOCTL_PATH;
        if (row.asNobody) {
            args.insert(args.begin(), {"--reuid=nobody", "--regid=nogroup", "--clear-groups", program});
            program = "/usr/bin/setpriv";
        }
        const auto run = test::RunProgram(program, args, {"KALO_PORT_COM1=" + row.device});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, row.err);
    }
}
