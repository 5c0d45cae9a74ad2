#pragma once

#include "CPrinterPort.h"

#include <array>
#include <cstdint>
#include <string>

// Every command the program sends to the printer, by name. ESC/POS commands
// and the maker's vendor commands (those beginning with 08); the bytes are
// the printer's, so they live here once and are only referred to elsewhere.
namespace kalo::cmd {

template <size_t N>
using Command = std::array<uint8_t, N>;

// ESC @: clears the print buffer and the modes.
inline constexpr Command<2> kInitialize = {0x1B, 0x40};
// ESC = 1: the printer is the peripheral that takes the data.
inline constexpr Command<3> kSelectPrinter = {0x1B, 0x3D, 0x01};
// GS a 0: no automatic status back.
inline constexpr Command<3> kStatusBackOff = {0x1D, 0x61, 0x00};

// GS I n: the printer's ID. 3 answers one byte (0x63), the letters a text
// reply (0x5F, the text, 0x00).
inline constexpr Command<3> kIdentificationByteQuery = {0x1D, 0x49, 0x03};
inline constexpr Command<3> kFirmwareVersionQuery = {0x1D, 0x49, 0x41};
inline constexpr Command<3> kMakerNameQuery = {0x1D, 0x49, 0x42};
inline constexpr Command<3> kModelNameQuery = {0x1D, 0x49, 0x43};
inline constexpr Command<3> kLanguageQuery = {0x1D, 0x49, 0x45};

// DLE EOT n: the real-time status, answered at once with one byte even off
// line or with a full buffer. n = 1 printer, 2 off-line cause, 3 error cause,
// 4 paper roll sensor.
constexpr Command<3> RealTimeStatusQuery(uint8_t n)
{
    return {0x10, 0x04, n};
}

// GS ( E: the user-setting functions. 1 "IN" enters user-setting mode, 2
// "OUT" leaves it, 3 writes a memory switch, 4 asks for one.
inline constexpr Command<8> kEnterUserSetting = {0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E};
inline constexpr Command<9> kEndUserSetting = {0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54};

constexpr Command<7> SwitchQuery(uint8_t switchNumber)
{
    return {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, switchNumber};
}

// pinCharacters: the characters for pin 8 down to pin 1 ('1' set, '0' clear, '2' leave).
constexpr Command<15> SwitchWrite(uint8_t switchNumber, const std::array<char, 8>& pinCharacters)
{
    Command<15> command = {0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, switchNumber};
    for (size_t i = 0; i < pinCharacters.size(); ++i)
        command[7 + i] = uint8_t(pinCharacters[i]);
    return command;
}

// Vendor: power save. The query answers four bytes (mode in byte 1, entrance
// time in seconds in byte 2).
inline constexpr Command<4> kPowerSaveQuery = {0x08, 0x5E, 0x50, 0x31};

constexpr Command<6> PowerSaveWrite(bool enabled, uint8_t entranceTime)
{
    return {0x08, 0x5E, 0x50, 0x30, uint8_t(enabled ? 1 : 0), entranceTime};
}

// Vendor: the printer prints its status sheet or its code-page sheet. The
// trailing 00 belongs to the command.
inline constexpr Command<4> kPrintStatusSheet = {0x08, 0x39, 0x01, 0x00};
inline constexpr Command<4> kPrintCodePageSheet = {0x08, 0x39, 0x02, 0x00};

// GS ( A 2 0 1 2: execute the test print.
inline constexpr Command<7> kExecuteTestPrint = {0x1D, 0x28, 0x41, 0x02, 0x00, 0x01, 0x02};

// The Command Test Editor's snippets. ESC ! n: print mode (font A or B).
inline constexpr Command<3> kFontA = {0x1B, 0x21, 0x00};
inline constexpr Command<3> kFontB = {0x1B, 0x21, 0x01};
// ESC E n: emphasised; ESC - n: underline.
inline constexpr Command<3> kBoldOn = {0x1B, 0x45, 0x01};
inline constexpr Command<3> kBoldOff = {0x1B, 0x45, 0x00};
inline constexpr Command<3> kUnderlineOn = {0x1B, 0x2D, 0x01};
inline constexpr Command<3> kUnderlineOff = {0x1B, 0x2D, 0x00};
// ESC a n: justification.
inline constexpr Command<3> kAlignLeft = {0x1B, 0x61, 0x00};
inline constexpr Command<3> kAlignCenter = {0x1B, 0x61, 0x01};
inline constexpr Command<3> kAlignRight = {0x1B, 0x61, 0x02};
// LF, then GS V 66 0: feed to the cutter and cut.
inline constexpr Command<5> kFeedAndCut = {0x0A, 0x1D, 0x56, 0x42, 0x00};
inline constexpr Command<1> kLineFeed = {0x0A};
// ESC p m 25 255: a drawer kick pulse on connector pin 2 (m 0) or pin 5 (m 1).
inline constexpr Command<5> kOpenDrawer1 = {0x1B, 0x70, 0x00, 0x19, 0xFF};
inline constexpr Command<5> kOpenDrawer2 = {0x1B, 0x70, 0x01, 0x19, 0xFF};
// ESC 2: the default line spacing; ESC 3 n: n units.
inline constexpr Command<2> kDefaultLineSpacing = {0x1B, 0x32};
constexpr Command<3> LineSpacing(uint8_t units)
{
    return {0x1B, 0x33, units};
}
// ESC t n: the character code table.
constexpr Command<3> SelectCodeTable(uint8_t code)
{
    return {0x1B, 0x74, code};
}
// FS p n 0: print stored NV bit image n in normal mode.
constexpr Command<4> PrintNvImage(uint8_t image)
{
    return {0x1C, 0x70, image, 0x00};
}

// Print Test String: two lines of text, then ESC J 255 (print and feed 255 units).
inline constexpr char kTestString[] = "Command Test String Line1\r\nCommand Test String Line2";
inline constexpr Command<3> kPrintAndFeedMost = {0x1B, 0x4A, 0xFF};

// The command bytes begin with, by the name it has above ("SwitchQuery 11",
// "Initialize"), for reading a trace; length is how many bytes it takes, 0
// when the bytes begin with none of these commands (or with a part of one).
struct CommandName {
    std::string name;
    size_t length = 0;
};
CommandName NameCommand(const uint8_t* bytes, size_t size);

// A reply to the named command, told in words when it is whole and in the
// printer's layout (model "TLR-740II", switch 11: pins 8-1 00000001);
// empty otherwise.
std::string DescribeReply(const std::string& commandName, const uint8_t* bytes, size_t size);

// Writes a command; the port's count of bytes written.
template <size_t N>
int Send(CPrinterPort& port, const Command<N>& command)
{
    return port.Write(command.data(), uint32_t(N));
}

} // namespace kalo::cmd
