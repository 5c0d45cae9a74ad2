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

// Each URI reads as the options that say the same and writes back as its
// canonical form. (That the canonical form reads as the same connection is
// the target_uri fuzz target's rule, replayed on a corpus of every kind.)
TEST(TargetUri, ReadsAsTheOptionsAndWritesBackCanonical)
{
    // The URI, the options that say the same, and its canonical form.
    const std::tuple<std::string, std::vector<std::string>, std::string> rows[] = {
        {"socket://10.0.0.7", {"--tcp", "10.0.0.7"}, "socket://10.0.0.7:9100"},
        {"SOCKET://Shop-12.example_net:9101", {"--tcp", "Shop-12.example_net:9101"},
         "socket://Shop-12.example_net:9101"},
        {"serial:COM1", {"--serial", "COM1"},
         "serial:COM1?baud=9600+bits=8+parity=none+stop=1+flow=hardware"},
        {"serial:com12?flow=xonxoff&stop=1.5+parity=even&bits=7+baud=19200",
         {"--serial", "\\\\.\\COM12", "--baud", "19200", "--data-bits", "7", "--parity", "even", "--stop-bits", "1.5",
          "--flow", "xonxoff"},
         "serial:COM12?baud=19200+bits=7+parity=even+stop=1.5+flow=xonxoff"},
        {"parallel:lpt2", {"--parallel", "LPT2"}, "parallel:LPT2"},
        {"usb:", {"--usb"}, "usb:"},
        {"usb:K0001234", {"--usb-device", "K0001234"}, "usb:K0001234"},
        {"usb:K1%2f7+x", {"--usb-device", "K1/7+x"}, "usb:K1%2F7%2Bx"},
        {"serial:/dev/ttyUSB0?baud=19200", {"--serial", "/dev/ttyUSB0", "--baud", "19200"},
         "serial:/dev/ttyUSB0?baud=19200+bits=8+parity=none+stop=1+flow=hardware"},
        {"parallel:/dev/lp1", {"--parallel", "/dev/lp1"}, "parallel:/dev/lp1"},
    };
    for (const auto& [uri, options, canonical] : rows) {
        SCOPED_TRACE(uri);
        ConnectionOptions read;
        std::string error;
        ASSERT_TRUE(ParseTargetUri(uri, read, error)) << error;
        EXPECT_EQ(read, FromOptions(options));
        EXPECT_EQ(FormatTargetUri(read), canonical);
        EXPECT_EQ(FromOptions({"--target", uri}), read); // as --target, the same connection as the options
    }
}

// A malformed URI is refused naming the part that is wrong, and leaves the
// connection as it was.
TEST(TargetUri, RefusesNamingThePart)
{
    const std::pair<std::string, std::string> rows[] = {
        {"10.0.0.7", "'10.0.0.7' is not a URI: it begins with socket://, serial:, parallel: or usb:"},
        {"lpd://10.0.0.7", "'lpd:' is not one of socket://, serial:, parallel:, usb:"},
        {"socket:10.0.0.7", "'socket:10.0.0.7' lacks the // before the host"},
        {"socket://:9100", "socket:// names no host"},
        {"socket://shop 12", "'shop 12' is not a dotted address or host name"},
        {"socket://[::1]:9100", "'[::1]' is not a dotted address or host name"},
        {"socket://h:65536", "':65536' is not a TCP port, 1-65535"},
        {"socket://h:9100/queue", "'/queue' follows the host; socket:// takes HOST[:PORT] only"},
        {"serial:?baud=9600", "the port is missing: one of COM1-COM14"},
        {"serial:COM15", "'COM15' is not one of COM1-COM14"},
        {"serial:COM1?parity=evn", "'parity=evn' is not one of none, odd, even, mark, space"},
        {"serial:COM1?baud=9601",
         "'baud=9601' is not one of 2400, 4800, 9600, 19200, 38400, 57600, 115200"},
        {"serial:COM1?flow=soft", "'flow=soft' is not one of hardware, xonxoff, none"},
        {"serial:COM1?speed=9600", "'speed=9600': 'speed' is not one of baud, bits, parity, stop, flow"},
        {"serial:COM1?baud=9600&bits=8+baud=9600", "'baud=9600' repeats baud"},
        {"serial:COM1?baud", "'baud' is not KEY=VALUE"},
        {"serial:COM1?baud=9600++bits=8", "an empty setting in 'baud=9600++bits=8'"},
        {"parallel:LPT4", "'LPT4' is not one of LPT1, LPT2, LPT3"},
        {"parallel:LPT1?baud=9600", "'LPT1?baud=9600' is not one of LPT1, LPT2, LPT3"},
        {"usb://KEMTRAN/TLR-740II?serial=K1",
         "'usb://KEMTRAN/TLR-740II?serial=K1' is a print queue's URI; kaloctl takes usb: or usb:SERIAL"},
        {"usb:K1?serial=K1", "'K1?serial=K1' has settings; usb: takes none"},
        {"usb:K 1", "'K 1' has a character to write as %XX"}, {"usb:K%G1", "'%G1' is not a %XX escape"},
        {"usb:K%4", "'%4' is not a %XX escape"},
        {"usb:K%0a", "'%0a' is a control character, not part of a serial number"},
        {"serial://dev/ttyUSB0", "'//dev/ttyUSB0' is not a device path (one '/' begins it, as in /dev/ttyUSB0)"},
        {"serial:/dev/tty USB0", "'/dev/tty USB0' has a character a device path here cannot hold"},
        {"parallel:/dev/lp1?baud=9600", "'/dev/lp1?baud=9600' has a character a device path here cannot hold"},
    };
    const ConnectionOptions before = FromOptions({"--tcp", "10.0.0.50:9101"});
    for (const auto& [uri, message] : rows) {
        ConnectionOptions options = before;
        std::string error;
        EXPECT_FALSE(ParseTargetUri(uri, options, error)) << uri;
        EXPECT_EQ(error, message);
        EXPECT_EQ(options, before) << uri;
    }
}

// Two targets on one device are found whatever else their URIs say: the
// host in any case, a COM or LPT name by the device it maps to.
TEST(TargetUri, DeviceIdentityFindsTheSameDevice)
{
    const kalo::platform::PortMap ports([](const char* name) -> const char* {
        return std::string(name) == "KALO_PORT_COM2" || std::string(name) == "KALO_PORT_COM4" ? "/dev/pts/3" : nullptr;
    });
    const std::tuple<std::string, std::string, bool> rows[] = {
        {"socket://Shop12:9100", "socket://shop12", true},
        {"socket://shop12:9100", "socket://shop12:9101", false},
        {"serial:COM1?baud=9600", "serial:com1?baud=19200+flow=none", true}, {"serial:COM1", "serial:COM3", false},
        {"serial:COM2", "serial:COM4", true}, {"parallel:LPT1", "parallel:lpt1", true},
        {"serial:COM1", "parallel:LPT1", false}, {"usb:K1", "usb:%4B1", true}, {"usb:K1", "usb:K2", false},
        {"usb:", "usb:", true}, {"serial:/dev/pts/3", "serial:COM2?baud=19200", true},
    };
    for (const auto& [uriA, uriB, same] : rows) {
        ConnectionOptions a, b;
        std::string error;
        ASSERT_TRUE(ParseTargetUri(uriA, a, error) && ParseTargetUri(uriB, b, error)) << error;
        EXPECT_EQ(DeviceIdentity(a, ports) == DeviceIdentity(b, ports), same)
            << DeviceIdentity(a, ports) << " / " << DeviceIdentity(b, ports);
    }
}

} // namespace
