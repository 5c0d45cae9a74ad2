#pragma once

#include "CPrinterPort.h"

#include <array>
#include <cstdint>

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

// Writes a command; the port's count of bytes written.
template <size_t N>
int Send(CPrinterPort& port, const Command<N>& command)
{
    return port.Write(command.data(), uint32_t(N));
}

} // namespace kalo::cmd
