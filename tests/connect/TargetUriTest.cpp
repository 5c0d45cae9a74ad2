#include "cli/ConnectionOptions.h"
#include "connect/TargetUri.h"

#include <gtest/gtest.h>

#include <map>

using kalo::ConnectionOptions;
using kalo::DeviceIdentity;
using kalo::FormatTargetUri;
using kalo::ParseTargetUri;

namespace {

// The connection the command-line options give.
ConnectionOptions FromOptions(std::vector<std::string> args)
{
    ConnectionOptions options;
    std::string error;
    EXPECT_TRUE(kalo::cli::ExtractConnectionOptions(args, options, error)) << error;
    return options;
}

// Each URI reads as the options that say the same, writes back as its
// canonical form, and the canonical form reads as the same connection again.
TEST(TargetUri, ReadsAsTheOptionsAndWritesBackCanonical)
{
    const struct {
        const char* name;
        std::string uri;
        std::vector<std::string> options;
        std::string canonical;
    } rows[] = {
        {"SocketDefaultPort", "socket://10.0.0.7", {"--tcp", "10.0.0.7"}, "socket://10.0.0.7:9100"},
        {"SocketHostNameAnyCaseScheme", "SOCKET://Shop-12.example_net:9101", {"--tcp", "Shop-12.example_net:9101"},
         "socket://Shop-12.example_net:9101"},
        {"SerialDefaults", "serial:COM1", {"--serial", "COM1"},
         "serial:COM1?baud=9600+bits=8+parity=none+stop=1+flow=hardware"},
        {"SerialEverySettingBothJoins", "serial:com12?flow=xonxoff&stop=1.5+parity=even&bits=7+baud=19200",
         {"--serial", "\\\\.\\COM12", "--baud", "19200", "--data-bits", "7", "--parity", "even", "--stop-bits", "1.5",
          "--flow", "xonxoff"},
         "serial:COM12?baud=19200+bits=7+parity=even+stop=1.5+flow=xonxoff"},
        {"SerialSomeSettings", "serial:COM3?parity=space+flow=none", {"--serial", "COM3", "--parity", "space", "--flow", "none"},
         "serial:COM3?baud=9600+bits=8+parity=space+stop=1+flow=none"},
        {"Parallel", "parallel:lpt2", {"--parallel", "LPT2"}, "parallel:LPT2"},
        {"UsbFirstPrinter", "usb:", {"--usb"}, "usb:"},
        {"UsbSerial", "usb:K0001234", {"--usb-device", "K0001234"}, "usb:K0001234"},
        {"UsbSerialEscaped", "usb:K1%2f7+x", {"--usb-device", "K1/7+x"}, "usb:K1%2F7%2Bx"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ConnectionOptions read;
        std::string error;
        ASSERT_TRUE(ParseTargetUri(row.uri, read, error)) << error;
        EXPECT_EQ(read, FromOptions(row.options));
        EXPECT_EQ(FormatTargetUri(read), row.canonical);
        ConnectionOptions again;
        ASSERT_TRUE(ParseTargetUri(row.canonical, again, error)) << error;
        EXPECT_EQ(again, read);
        // As --target, the same connection as the options.
        EXPECT_EQ(FromOptions({"--target", row.uri}), read);
    }
}

// A malformed URI is refused naming the part that is wrong, and leaves the
// connection as it was.
TEST(TargetUri, RefusesNamingThePart)
{
    const struct {
        const char* name;
        std::string uri;
        std::string message;
    } rows[] = {
        {"NoScheme", "10.0.0.7", "'10.0.0.7' is not a URI: it begins with socket://, serial:, parallel: or usb:"},
        {"UnknownScheme", "lpd://10.0.0.7", "'lpd:' is not one of socket://, serial:, parallel:, usb:"},
        {"SocketWithoutSlashes", "socket:10.0.0.7", "'socket:10.0.0.7' lacks the // before the host"},
        {"SocketNoHost", "socket://:9100", "socket:// names no host"},
        {"SocketHostBlank", "socket://shop 12", "'shop 12' is not a dotted address or host name"},
        {"SocketIpv6", "socket://[::1]:9100", "'[::1]' is not a dotted address or host name"},
        {"SocketPortHigh", "socket://h:65536", "':65536' is not a TCP port, 1-65535"},
        {"SocketPath", "socket://h:9100/queue", "'/queue' follows the host; socket:// takes HOST[:PORT] only"},
        {"SerialNoPort", "serial:?baud=9600", "the port is missing: one of COM1-COM14"},
        {"SerialPortOutOfList", "serial:COM15", "'COM15' is not one of COM1-COM14"},
        {"SerialBadParity", "serial:COM1?parity=evn", "'parity=evn' is not one of none, odd, even, mark, space"},
        {"SerialBadBaud", "serial:COM1?baud=9601",
         "'baud=9601' is not one of 2400, 4800, 9600, 19200, 38400, 57600, 115200"},
        {"SerialBadFlow", "serial:COM1?flow=soft", "'flow=soft' is not one of hardware, xonxoff, none"},
        {"SerialUnknownKey", "serial:COM1?speed=9600", "'speed=9600': 'speed' is not one of baud, bits, parity, stop, flow"},
        {"SerialRepeatedKey", "serial:COM1?baud=9600&bits=8+baud=9600", "'baud=9600' repeats baud"},
        {"SerialNoEquals", "serial:COM1?baud", "'baud' is not KEY=VALUE"},
        {"SerialEmptySetting", "serial:COM1?baud=9600++bits=8", "an empty setting in 'baud=9600++bits=8'"},
        {"ParallelOutOfList", "parallel:LPT4", "'LPT4' is not one of LPT1, LPT2, LPT3"},
        {"ParallelSettings", "parallel:LPT1?baud=9600", "'LPT1?baud=9600' is not one of LPT1, LPT2, LPT3"},
        {"UsbQueueUri", "usb://KEMTRAN/TLR-740II?serial=K1",
         "'usb://KEMTRAN/TLR-740II?serial=K1' is a print queue's URI; kaloctl takes usb: or usb:SERIAL"},
        {"UsbSettings", "usb:K1?serial=K1", "'K1?serial=K1' has settings; usb: takes none"},
        {"UsbBlank", "usb:K 1", "'K 1' has a character to write as %XX"},
        {"UsbBadEscape", "usb:K%G1", "'%G1' is not a %XX escape"},
        {"UsbCutEscape", "usb:K%4", "'%4' is not a %XX escape"},
        {"UsbControlEscape", "usb:K%0a", "'%0a' is a control character, not part of a serial number"},
    };
    const ConnectionOptions before = FromOptions({"--tcp", "10.0.0.50:9101"});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ConnectionOptions options = before;
        std::string error;
        EXPECT_FALSE(ParseTargetUri(row.uri, options, error));
        EXPECT_EQ(error, row.message);
        EXPECT_EQ(options, before);
    }
}

// Two targets on one device are found whatever else their URIs say: the
// host in any case, a COM or LPT name by the device it maps to.
TEST(TargetUri, DeviceIdentityFindsTheSameDevice)
{
    const std::map<std::string, const char*> environment = {{"KALO_PORT_COM2", "/dev/pts/3"},
                                                            {"KALO_PORT_COM4", "/dev/pts/3"}};
    const kalo::platform::PortMap ports([&](const char* name) -> const char* {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second;
    });
    const struct {
        const char* name;
        std::string a;
        std::string b;
        bool same;
    } rows[] = {
        {"HostInAnyCaseDefaultPort", "socket://Shop12:9100", "socket://shop12", true},
        {"OtherTcpPort", "socket://shop12:9100", "socket://shop12:9101", false},
        {"SerialOtherSettings", "serial:COM1?baud=9600", "serial:com1?baud=19200+flow=none", true},
        {"SerialOtherPort", "serial:COM1", "serial:COM3", false},
        {"SerialMappedToOneDevice", "serial:COM2", "serial:COM4", true},
        {"ParallelSamePort", "parallel:LPT1", "parallel:lpt1", true},
        {"SerialBesideParallel", "serial:COM1", "parallel:LPT1", false},
        {"UsbSameSerial", "usb:K1", "usb:%4B1", true},
        {"UsbOtherSerial", "usb:K1", "usb:K2", false},
        {"UsbFirstTwice", "usb:", "usb:", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ConnectionOptions a, b;
        std::string error;
        ASSERT_TRUE(ParseTargetUri(row.a, a, error)) << error;
        ASSERT_TRUE(ParseTargetUri(row.b, b, error)) << error;
        EXPECT_EQ(DeviceIdentity(a, ports) == DeviceIdentity(b, ports), row.same)
            << DeviceIdentity(a, ports) << " / " << DeviceIdentity(b, ports);
    }
}

} // namespace
