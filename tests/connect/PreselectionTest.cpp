#include "connect/CRegistryKey.h"
#include "connect/ConnectionForm.h"
#include "connect/SerialSettingsText.h"
#include "platform/LazyRegistryFile.h"
#include "sim/RecordingMessageSink.h"
#include "platform/RegistryFile.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <tuple>
#include <unistd.h>

using namespace kalo;
using platform::RegistryFile;

namespace {

// Windows writes its exports in UTF-16LE with CR LF line ends.
std::string Utf16(const std::string& ascii)
{
    std::string out = "\xFF\xFE";
    for (char c : ascii)
        out += c == '\n' ? std::string("\r\0\n\0", 4) : std::string{c, '\0'};
    return out;
}

const char kKey[] = "SOFTWARE\\KEMTRAN\\TLR-740II\\OXM\\Custom";

} // namespace

TEST(RegistryFile, ReadsExportsOfBothVersions)
{
    const std::string body = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KEMTRAN\\TLR-740II\\OXM\\Custom]\n; a comment\n\"Port\"=\"COM3\"\n"
                             "\"Quoted \\\"name\\\"\"=\"a \\\\ b\"\n\"BaudRate\"=dword:00004b00\n\"Big\"=hex(5):00,00,4b,00\n"
                             "\"Short\"=hex(4):01,02\n\"Binary\"=hex:01,02\n" // neither is a number
                             "@=\"default\"\n\"Gone\"=\"x\"\n\"Gone\"=-\n%EXPAND%" // Gone: set, then deleted
                             "[HKEY_CURRENT_USER\\SOFTWARE\\KEMTRAN\\TLR-740II\\OXM\\Custom]\n\"Port\"=\"LPT1\"\n";
    // "%A%" as an expandable string: in UTF-16LE, and in REGEDIT4's bytes on a continued line.
    auto with = [&body](const std::string& expand) { return std::string(body).replace(body.find("%EXPAND%"), 8, expand); };
    const std::string v5 = with("\"Path\"=hex(2):25,00,41,00,25,00,00,00\n"), v4 = with("\"Path\"=hex(2):25,41,\\\n  25,00\n");
    const std::pair<const char*, std::string> versions[] = {
        {"5.00 in UTF-16", Utf16("Windows Registry Editor Version 5.00\n\n" + v5)},
        {"5.00 in UTF-8", "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n" + v5}, {"REGEDIT4", "REGEDIT4\n\n" + v4}};
    for (const auto& [version, text] : versions) {
        SCOPED_TRACE(version);
        const RegistryFile file = RegistryFile::FromText(text);
        const CRegistryKey registry({&file});
        // The local-machine key, not the current user's; names of keys and values in any case.
        for (const auto& [key, name, expected] : std::vector<std::array<std::string, 3>>{
                 {kKey, "Port", "COM3"}, {"software\\kemtran\\tlr-740ii\\oxm\\custom", "port", "COM3"},
                 {kKey, "Quoted \"name\"", "a \\ b"}, {kKey, "", "default"}, {kKey, "Path", "%A%"}}) {
            std::string value;
            EXPECT_TRUE(registry.ReadText(key, name, value)) << name;
            EXPECT_EQ(value, expected);
        }
        int32_t baud = 0, big = 0, number = 7;
        EXPECT_TRUE(registry.ReadNumber(kKey, "BaudRate", baud) && registry.ReadNumber(kKey, "Big", big));
        EXPECT_EQ(std::pair(baud, big), std::pair(19200, 0x004b0000)); // the stored bytes, not reordered
        // Text is not a number, nor a number text.
        for (const char* name : {"Short", "Binary", "Port"})
            EXPECT_FALSE(registry.ReadNumber(kKey, name, number)) << name;
        EXPECT_EQ(number, 7);
        std::string value = "kept";
        for (const auto& [key, name] : {std::pair{kKey, "BaudRate"}, {kKey, "Gone"}, {"SOFTWARE\\Nothing", "Port"}})
            EXPECT_FALSE(registry.ReadText(key, name, value)) << name;
        EXPECT_EQ(value, "kept");
    }
}

TEST(RegistryFile, TakesWhatItCanFromBadFiles)
{
    const std::string good = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"1\"\n";
    const std::tuple<const char*, std::string, bool> rows[] = {
        {"empty", "", false}, {"truncated in a value", good + "\"B\"=\"unterminated", true},
        {"truncated in a key", good + "[HKEY_LOCAL_MACHINE\\L", true},
        {"bad lines", good + "garbage\n\"C\"=dword:xyz\n\"D\"=hex(zz):00\n=\n\"E\"\n", true},
        {"key deleted", good + "[-HKEY_LOCAL_MACHINE\\K]\n", false}, {"odd UTF-16", "\xFF\xFE\x41", false},
        {"no header", "[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"1\"\n", true},
    };
    platform::RegistryValue value;
    for (const auto& [what, text, findsA] : rows)
        EXPECT_EQ(RegistryFile::FromText(text).Find("K", "A", value), findsA) << what;
    EXPECT_FALSE(RegistryFile::FromPath("/nonexistent/registry.reg").Loaded());
}

// The ports key's text as the window reads it, and as the CUPS view writes it for a queue.
TEST(SerialSettingsText, ReadByPositionAndWrittenForCupsQueues)
{
    // The URI of a CUPS queue the text is written for; the text; baud rate, parity, data bits, stop bits, flow.
    const std::tuple<const char*, const char*, std::array<int32_t, 5>> rows[] = {
        // Members before the read: parity 1, data bits 5, stop bits 1, flow 1.
        {"serial:/dev/ttyS0", "9600,n,8,1", {9600, 0, 8, 0, 2}}, {nullptr, "19200,e,7,1.5,x", {19200, 2, 7, 1, 1}},
        {"serial:/dev/ttyS0?baud=19200+bits=7+parity=even+flow=soft", "19200,e,7,1,x", {19200, 2, 7, 0, 1}},
        {"serial:/dev/ttyS1?parity=odd&flow=hard&stop=2", "9600,o,8,2,p", {9600, 1, 8, 2, 0}},
        {nullptr, "2400,m,7,1,x", {2400, 3, 7, 0, 1}},
        {"serial:/dev/ttyS2?baud=115200+parity=Space+flow=rtscts", "115200,s,8,1,p", {115200, 4, 8, 0, 0}},
        {nullptr, "9600,N,8,1", {9600, 1, 8, 0, 2}},   // upper-case letters are not read
        {nullptr, "9600,n,8,1,q", {9600, 0, 8, 0, 1}}, // an unknown flow letter leaves the member
        {nullptr, "9600,n,8", {9600, 0, 8, 1, 1}},     // too short for stop bits and flow
        {nullptr, "9600", {0, 1, 0, 1, 1}},            // no comma: baud empty, R = "9600", R[2] = "0"
        {nullptr, "", {0, 1, 5, 1, 1}},
        // Beyond the 32-bit range the baud rate reads as its end, never wrapped round to 9600.
        {"serial:/dev/ttyS0?baud=4294976896", "4294976896,n,8,1", {INT32_MAX, 0, 8, 0, 2}},
    };
    for (const auto& [uri, settings, members] : rows) {
        SCOPED_TRACE(settings);
        EXPECT_EQ(uri ? SerialSettingsTextOf(uri) : settings, settings);
        const RegistryFile file = RegistryFile::FromText(
            std::string("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Q]\n"
                        "\"Port\"=\"COM2:\"\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\"
                        "Ports]\n\"COM2:\"=\"")
            + settings + "\"\n");
        ConnectionForm form;
        form.parity = 1, form.dataBits = 5, form.stopBits = 1, form.flowControl = 1;
        form.targetPrinter = "Q";
        form.registryKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Q";
        form.ReadWindowsPortSettings(CRegistryKey({&file}));
        EXPECT_EQ(form.portName, "COM2");
        EXPECT_EQ(form.portList.SelectedText(), "COM2");
        EXPECT_EQ((std::array{form.baudRate, form.parity, form.dataBits, form.stopBits, form.flowControl}), members);
    }
}

TEST(RegistryFile, ALargeExportIsReadWithoutAQuadraticParse)
{
    if (KALO_SANITIZED)
        GTEST_SKIP() << "a time bound for the plain build; the sanitizers make every step several times slower";
    // kPairs keys K<i> and K<i>\Sub; then every even K<i> is deleted with what
    // is below it. "k10\sub" sorts after "k101" and "k103", which stay.
    constexpr int kPairs = 50000; // 100000 keys, 3.3 MB
    std::string text = "REGEDIT4\r\n\r\n";
    for (int i = 0; i < kPairs; ++i) {
        const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\K" + std::to_string(i);
        text += key + "]\r\n\"V\"=dword:00000001\r\n" + key + "\\Sub]\r\n\"V\"=\"x\"\r\n";
    }
    for (int i = 0; i < kPairs; i += 2)
        text += "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\K" + std::to_string(i) + "]\r\n";
    ASSERT_GT(text.size(), 3'300'000u);
    // The processor time, not counting time spent waiting for a core on a
    // busy machine; a quadratic parse took minutes.
    const std::clock_t start = std::clock();
    const RegistryFile file = RegistryFile::FromText(text);
    EXPECT_LT(double(std::clock() - start) / CLOCKS_PER_SEC, 10.0);
    EXPECT_EQ(file.KeyCount(), size_t(kPairs));
    platform::RegistryValue value;
    for (const auto& [key, kept] : {std::pair{"SOFTWARE\\K10\\Sub", false}, {"SOFTWARE\\K103\\Sub", true}})
        EXPECT_EQ(file.Find(key, "V", value), kept) << key;
}

// Read only when a printer is preselected, and then a file over the limit is
// refused by its size and said so, never cut at the mark.
TEST(LazyRegistryFile, IsReadOnlyWhenAPrinterIsPreselected)
{
    std::string path = ::testing::TempDir() + "kalo-registry-XXXXXX";
    const int fd = mkstemp(path.data());
    ASSERT_EQ(ftruncate(fd, off_t(RegistryFile::kMaxBytes) + 1), 0); // sparse
    close(fd);
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "started for a printer" : "started without a name");
        int located = 0;
        sim::RecordingMessageSink messages;
        const platform::LazyRegistryFile file([&located, &path] { return ++located, path; }, &messages);
        const CRegistryKey registry({&file});
        ConnectionForm form;
        form.targetPrinter = named ? "Receipt COM3" : "";
        form.UpdateData(false);
        form.InitDialog(registry);
        form.BuildPortSettings();
        EXPECT_EQ(located, named ? 1 : 0); // looked for once, however many values are read
        EXPECT_EQ(file.HasRead(), named);
        ASSERT_EQ(messages.Messages().size(), named ? 1u : 0u);
        if (named) {
            EXPECT_EQ(messages.Messages()[0].text, "Cannot read " + path + ": it is 16777217 bytes, more than the "
                                                   "16777216 bytes allowed; no printer settings are taken from it.");
        }
    }
    unlink(path.c_str());
}
