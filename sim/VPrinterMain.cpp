// kalo-vprinter: a virtual printer of the family on a TCP port and/or a
// pseudo-terminal, for demonstrations and tests without hardware.
#include "KaloVersion.h"
#include "PrinterOptions.h"
#include "VPrinterServer.h"
#include "VirtualPrinter.h"
#include "WireLog.h"
#include "platform/Files.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <string>

namespace {

const char kUsage[] = R"(Usage: kalo-vprinter [--tcp [ADDRESS:]PORT] [--pty] [options]

A virtual KEMTRAN receipt printer. It answers the identification, status,
memory-switch, power-save and print commands, prints what it is sent onto a
plain-text paper roll, and runs until interrupted (then exits 0).

Links (at least one):
  --tcp [ADDRESS:]PORT   listen on ADDRESS (127.0.0.1 when left out) and PORT;
                         port 0 takes a free port. First line printed:
                         "listening on ADDRESS:PORT". Clients are served one
                         after another; one that half-closes still gets the
                         replies to what it sent, then the connection closes.
  --pty                  create a pseudo-terminal; prints "pty PATH". With
                         --tcp too, that line comes second.

TCP clients (with --tcp):
  --idle-after MS        a client that has sent and been sent nothing for MS
                         milliseconds (default 5000), with no reply waiting
                         for its time, is idle: it is dropped when another
                         client is waiting to connect, and kept while none is
  --one-client           never drop a client: the next waits until the
                         current one closes, as on a printer that takes one
                         connection at a time

The serial line (with --pty):
  --line-rate            run the pseudo-terminal at the speed its user set:
                         bytes take their time on the line both ways, at the
                         baud rate and stop bits read from the line
  --frame DPS            data bits, parity and stop bits, e.g. 7E1 or 8N1.5
                         (the pseudo-terminal keeps no data bits or parity;
                         8 and none otherwise)
  --process-rate BYTES   bytes per second the printer takes from its input
                         buffer (default: as fast as they arrive)
  --buffer BYTES         input buffer size (default 4096). With XON/XOFF set
                         on the line, or --xonxoff, the printer sends XOFF at
                         three quarters full and XON once down to a quarter;
                         bytes coming when it is full are lost, and the paper
                         says "[input overrun: N bytes lost]"
  --xonxoff              send XOFF/XON even when the line does not ask for them

The printer:
  --model NAME           TLR-740plusII (default), TLR-742plusII, TLR-740II,
                         or any other text to answer as the model name
  --firmware TEXT        firmware version text (default "V1.02 SIM")
  --language TEXT        language text (default "ENGLISH")
  --switch N=BBBBBBBB    initial bits of memory switch N (1-6, 11, 12), pin 8
                         first, e.g. --switch 2=00000001; may be repeated
  --power-save on|off    initial power-save mode (default off)
  --entrance-time SEC    initial power-save entrance time, 0-255 (default 30)
  --state WORD[,WORD...] what the real-time status requests (DLE EOT 1-4)
                         report; may be repeated. Words: ready (none of the
                         others; the default), paper-near-end, paper-out,
                         cover-open, offline, error=cutter,
                         error=unrecoverable, error=auto, drawer-high.
                         Paper out, cover open and any error also report the
                         printer off line, as a printer that stops does
  --state-file FILE      the same words (comma, space or newline separated),
                         read again before each real-time answer, so the state
                         of a running printer changes with the file. While the
                         file cannot be read or holds an unknown word, the
                         answers follow --state, and standard error says why
                         (once per change of the reason)

Output:
  --paper FILE           where printed lines go (standard output by default)
  --wire-log FILE        one line per chunk: "<ms since start> <rx|tx> <hex>",
                         and one as each connection opens and closes:
                         "<ms> open LINK", "<ms> close LINK", LINK being
                         "tcp ADDRESS:PORT" (the client's) or "pty PATH"

Faults (--fault NAME, may be repeated):
  silent                 answers nothing
  wrong-maker            reports the maker "ACME"
  wrong-model            reports the model "RP-F10"
  wrong-id               answers GS I 3 with 0x62 instead of 0x63
  noise                  sends 0x55 bytes without end, one per millisecond
  slow                   waits 300 ms before each reply, 20 ms between its bytes
                         (--slow-delay and --slow-gap below set them)
  late=N:MS              the N-th reply the printer sends (the first is 1)
                         starts MS ms (0-60000) after its query instead of
                         after the usual delay; may be given for several
  close-after=N          hangs up after N received bytes (closes the connection;
                         the pseudo-terminal goes away)
  dsr-low                DSR held low (in-process links only)
  garbage[=SEED]         answers every query with 0 to 40 random bytes; the same
                         SEED (or --seed) gives the same bytes
  stuck=SWITCH:PIN       that pin of memory switch SWITCH ignores writes and
                         keeps its value (may be given for several pins)

Reply timing (each reply counted from its query; on a paced line its bytes
take their line time on top):
  --slow-delay MIN[-MAX] milliseconds before each reply, 0-60000; with MAX,
                         each reply's delay is drawn anew from MIN to MAX
  --slow-gap MS          milliseconds between a reply's bytes, 0-60000
  --seed N               seeds every draw, 0-4294967295: --slow-delay's and
                         garbage's (unless garbage=SEED gives its own), so a
                         run repeats. Without it, a seed is drawn and told on
                         standard error when anything is drawn

  --help                 this text
  --version              the program's version
)";

bool ParseNumber(const std::string& text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0 && value >= low && value <= high;
}

int Usage(const std::string& problem)
{
    std::cerr << "kalo-vprinter: " << problem << "\nTry 'kalo-vprinter --help'.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace kalo::sim;
    VPrinterServer::Config config;
    PrinterOptions options;
    std::string paperPath, wirePath;
    std::string pacedOption; // the last option that only a paced line takes
    bool idleGiven = false;
    // Applied after every --fault, so "--fault slow" given later does not undo them.
    std::optional<std::string> slowDelay;
    std::optional<uint32_t> slowGap, seed;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v, error;
        long n = 0;
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << kalo::VersionLine("kalo-vprinter");
            return 0;
        } else if (arg == "--pty") {
            config.pty = true;
        } else if (arg == "--tcp") {
            if (!value(v))
                return Usage("--tcp needs [ADDRESS:]PORT");
            const size_t colon = v.rfind(':');
            const std::string port = colon == std::string::npos ? v : v.substr(colon + 1);
            if (colon != std::string::npos)
                config.tcpAddress = v.substr(0, colon);
            if (!ParseNumber(port, 0, 65535, n))
                return Usage("not a TCP port: " + port);
            config.tcp = true;
            config.tcpPort = uint16_t(n);
        } else if (arg == "--one-client") {
            config.oneClient = true;
        } else if (arg == "--idle-after") {
            if (!value(v) || !ParseNumber(v, 0, 3'600'000, n))
                return Usage("--idle-after takes milliseconds, 0-3600000");
            config.idleMs = n;
            idleGiven = true;
        } else if (arg == "--model") {
            if (!value(options.model))
                return Usage("--model needs a name");
        } else if (arg == "--firmware") {
            if (!value(options.firmware))
                return Usage("--firmware needs a text");
        } else if (arg == "--language") {
            if (!value(options.language))
                return Usage("--language needs a text");
        } else if (arg == "--switch") {
            if (!value(v) || !ApplySwitch(v, options, error))
                return Usage(error.empty() ? "--switch needs N=BBBBBBBB" : error);
        } else if (arg == "--power-save") {
            if (!value(v) || (v != "on" && v != "off"))
                return Usage("--power-save takes on or off");
            options.powerSave = v == "on";
        } else if (arg == "--entrance-time") {
            if (!value(v) || !ParseNumber(v, 0, 255, n))
                return Usage("--entrance-time takes 0-255 seconds");
            options.entranceTime = uint8_t(n);
        } else if (arg == "--state") {
            if (!value(v) || v.find_first_not_of(", \t\r\n") == std::string::npos)
                return Usage("--state needs WORD[,WORD...]");
            if (!ApplyState(v, options.state, error))
                return Usage(error);
        } else if (arg == "--state-file") {
            if (!value(options.stateFile) || options.stateFile.empty())
                return Usage("--state-file needs a file");
        } else if (arg == "--fault") {
            if (!value(v) || !ApplyFault(v, options, error))
                return Usage(error.empty() ? "--fault needs a name" : error);
        } else if (arg == "--slow-delay") {
            if (!value(v))
                return Usage("--slow-delay takes MS or MIN-MAX");
            slowDelay = v;
        } else if (arg == "--slow-gap") {
            if (!value(v) || !ParseNumber(v, 0, PrinterOptions::kMaxDelayMs, n))
                return Usage("--slow-gap takes milliseconds, 0-60000");
            slowGap = uint32_t(n);
        } else if (arg == "--seed") {
            if (!value(v) || !ParseNumber(v, 0, UINT32_MAX, n))
                return Usage("--seed takes a number, 0-4294967295");
            seed = uint32_t(n);
        } else if (arg == "--line-rate") {
            config.lineRate = true;
        } else if (arg == "--xonxoff") {
            config.paced.xonXoff = true;
            pacedOption = arg;
        } else if (arg == "--frame") {
            if (!value(v) || !(config.frame = ParseFrame(v)))
                return Usage("--frame takes data bits, parity and stop bits, e.g. 7E1");
            pacedOption = arg;
        } else if (arg == "--process-rate") {
            if (!value(v) || !ParseNumber(v, 1, 1'000'000'000, n))
                return Usage("--process-rate takes bytes per second, 1-1000000000");
            config.paced.processRate = uint64_t(n);
            pacedOption = arg;
        } else if (arg == "--buffer") {
            if (!value(v) || !ParseNumber(v, 4, 1 << 24, n))
                return Usage("--buffer takes bytes, 4-16777216");
            config.paced.bufferSize = size_t(n);
            pacedOption = arg;
        } else if (arg == "--paper") {
            if (!value(paperPath))
                return Usage("--paper needs a file");
        } else if (arg == "--wire-log") {
            if (!value(wirePath))
                return Usage("--wire-log needs a file");
        } else {
            return Usage("unknown option: " + arg);
        }
    }
    std::string error;
    if (slowDelay && !ApplySlowDelay(*slowDelay, options, error))
        return Usage(error);
    if (slowGap)
        options.slowGapMs = *slowGap;
    if (!config.tcp && !config.pty)
        return Usage("give --tcp PORT, --pty, or both");
    if ((config.oneClient || idleGiven) && !config.tcp)
        return Usage(std::string(config.oneClient ? "--one-client" : "--idle-after") + " needs --tcp");
    if (config.oneClient && idleGiven)
        return Usage("--idle-after has no use with --one-client, which never drops a client");
    if (config.lineRate && !config.pty)
        return Usage("--line-rate needs --pty");
    if (!pacedOption.empty() && !config.lineRate)
        return Usage(pacedOption + " needs --line-rate");

    // A run that draws is told its seed, so that one that went wrong can be replayed.
    const bool draws = options.slowDelayMaxMs > options.slowDelayMs || (options.garbage && !options.garbageSeed);
    if (!seed && draws) {
        seed = std::random_device{}();
        std::cerr << "kalo-vprinter: drawing with --seed " << *seed << std::endl;
    }
    options.seed = seed.value_or(0);

    // Opened by name, which the kernel's own rule on planted links may not guard.
    for (const std::string* path : {&paperPath, &wirePath}) {
        std::string reason;
        if (!path->empty() && !kalo::platform::LinksMayBeFollowed(*path, reason))
            return Usage("cannot write " + *path + ": " + reason);
    }
    std::ofstream paperFile, wireFile;
    if (!paperPath.empty()) {
        paperFile.open(paperPath, std::ios::out | std::ios::app);
        if (!paperFile)
            return Usage("cannot write the paper file " + paperPath);
    }
    if (!wirePath.empty()) {
        wireFile.open(wirePath, std::ios::out | std::ios::trunc);
        if (!wireFile)
            return Usage("cannot write the wire log " + wirePath);
    }
    std::ostream& paper = paperPath.empty() ? std::cout : paperFile;
    WireLog wireLog(wirePath.empty() ? nullptr : &wireFile);
    VirtualPrinter printer(options, [&paper](const std::string& line) { paper << line << std::endl; });
    VPrinterServer server(config, printer, wireLog);
    if (!server.Start(std::cout, std::cerr))
        return 1;
    return server.Run();
}
