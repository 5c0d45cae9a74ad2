#pragma once

#include "PortSettings.h"
#include "platform/Failure.h"
#include "platform/Platform.h"

#include <concepts>
#include <cstdint>

namespace kalo {

// What the printer port facade asks of every kind of port it may hold:
// made on the platform and never copied (it owns its device), set up from
// the settings and opened (non-zero when done), written and read (the count
// that moved; or read what arrives within a wait, and how long the line
// must stay quiet after a reply), closed, and asked why the last call failed. A kind adds only
// what is its own (a USB printer's presence, a parallel write's bound).
template <typename Port>
concept PrinterPortKind = std::constructible_from<Port, platform::Platform&> && !std::copyable<Port>
    && requires(Port port, const Port& held, const PortSettings& settings, const uint8_t* data, uint8_t* buffer,
                uint32_t length) {
           { port.Configure(settings) } -> std::same_as<int>;
           { port.Open() } -> std::same_as<int>;
           { port.Write(data, length) } -> std::same_as<int>;
           { port.Read(buffer, length) } -> std::same_as<int>;
           { port.ReadWithin(buffer, length, int64_t(0)) } -> std::same_as<int>;
           { held.SettleMicros() } -> std::same_as<int64_t>;
           port.Close();
           { held.LastFailure() } -> std::same_as<const platform::Failure&>;
           port.ClearFailure();
       };

} // namespace kalo
