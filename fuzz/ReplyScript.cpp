#include "ReplyScript.h"

#include "port/UsbPrinterSearch.h"

#include <algorithm>

namespace kalo::fuzz {

void ReplyScript::Answer(std::vector<uint8_t>& reply)
{
    if (m_left == 0)
        return;
    const size_t length = std::min<size_t>(*m_next, m_left - 1);
    reply.insert(reply.end(), m_next + 1, m_next + 1 + length);
    m_next += 1 + length;
    m_left -= 1 + length;
}

void ReplyScript::AnswerOn(sim::InProcessPlatform& machine)
{
    machine.responder = [this](const uint8_t*, size_t, std::vector<uint8_t>& reply) { Answer(reply); };
}

ScriptedLink PickLink(uint8_t selector, sim::InProcessPlatform& machine)
{
    switch (selector % 4) {
    case 0:
        return {PortKind::Serial, LinePortSettings("COM1", 9600, 8, 0, 0, 0)};
    case 1:
        return {PortKind::Parallel, LinePortSettings("LPT1", 9600, 8, 0, 0, 0)};
    case 2: {
        const platform::UsbPrinterInfo printer{"/dev/usb/lp0", "7a3c", "001e", "K0001"};
        machine.usbPrinters = {printer};
        return {PortKind::Usb, LinePortSettings("742plusII:" + UsbDevicePath(printer), 9600, 8, 0, 0, 0)};
    }
    default:
        return {PortKind::Ethernet, NetworkPortSettings(machine.networkHost, machine.networkPort)};
    }
}

} // namespace kalo::fuzz
