#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalo {

// The serial line as the registry's ports key holds it: baud rate, parity
// letter, data bits, stop bits and an optional flow letter, separated by
// commas ("19200,e,7,1.5,x").

// What the text says, as the main window's members and list positions.
// Read by positions: a field the text does not settle is left empty, and the
// window keeps its member for it. The baud rate is always settled (0 when
// the text has no baud field).
struct SerialSettings {
    int32_t baudRate = 0;
    std::optional<int32_t> parity;      // 0 n, 1 o, 2 e, 3 m, 4 s
    std::optional<int32_t> dataBits;
    std::optional<int32_t> stopBits;    // 0 "1", 1 "1.5", 2 "2"
    std::optional<int32_t> flowControl; // 0 p (hardware), 1 x (Xon/Xoff), 2 none
};

SerialSettings ReadSerialSettingsText(const std::string& text);

// The text for a CUPS serial queue: "19200,e,7,1,x" for
// "serial:/dev/ttyS0?baud=19200+bits=7+parity=even+flow=soft" (9600, n, 8, 1
// and no flow letter where the URI says nothing).
std::string SerialSettingsTextOf(const std::string& deviceUri);

} // namespace kalo
