#include "StatusExchange.h"

#include "port/IdleDrain.h"

#include <cstring>

namespace kalo {

using platform::MessageIcon;

namespace {
const char kCantConnect[] = "Can't connect printer. Please restart printer.";
const char kOtherProduct[] = "Don't use this program for other company product.";
const char kNotOurPrinter[] = "This printer don't match our printer name.";
constexpr uint8_t kSelectPrinter[] = {0x1B, 0x3D, 0x01};
} // namespace

StatusExchange::StatusExchange(Context context)
    : m_c(std::move(context))
{
}

int StatusExchange::Write(std::initializer_list<uint8_t> bytes)
{
    uint8_t command[16];
    size_t n = 0;
    for (uint8_t b : bytes)
        command[n++] = b;
    return m_c.port.Write(command, uint32_t(n));
}

void StatusExchange::Notify()
{
    if (m_c.factsChanged)
        m_c.factsChanged();
}

void StatusExchange::Drain(uint8_t* buffer)
{
    for (int i = 0; i < 5; ++i) {
        Wait(100);
        Read(buffer, 1);
    }
}

std::string StatusExchange::ByteWiseText(uint8_t* buffer, bool stepEachByte)
{
    std::string text;
    int empty = 0;
    for (int bytes = 0; bytes < kMaxTextBytes && empty < kMaxEmptyReads;) {
        // An empty read does not repeat the byte before it.
        if (Read(buffer, 1) <= 0) {
            ++empty;
            continue;
        }
        empty = 0;
        ++bytes;
        if (stepEachByte)
            m_c.progress.Step();
        if (buffer[0] == 0x00)
            break;
        if (buffer[0] != 0x5F)
            text += char(buffer[0]);
    }
    return text;
}

int StatusExchange::BlockRead(uint8_t* buffer, uint32_t length)
{
    Wait(200);
    const int n = Read(buffer, length);
    return n == 0 ? Read(buffer, length) : n;
}

bool StatusExchange::CheckPrinter()
{
    uint8_t buffer[20] = {0x1B, 0x40};
    bool written = Write(buffer, 2) != 0;
    if (written) {
        if (ByteWise())
            Drain(buffer);
        Write(kSelectPrinter, 3);
        if (!IdentifyModel()) {
            m_c.messages.Show(kOtherProduct, "Information", MessageIcon::Warning);
            return false;
        }
        m_c.progress.SetPosition(50);
        Write({0x1D, 0x61, 0x00});
        if (ByteWise())
            Drain(buffer);
        m_c.progress.SetPosition(70);
        Write({0x1D, 0x49, 0x03});
        std::memset(buffer, 0, sizeof buffer);
        if (m_c.interfaceKind == PortKind::Usb) {
            BlockRead(buffer, 16);
        } else {
            Wait(100);
            Read(buffer, 1);
        }
        m_c.progress.SetPosition(90);
    }
    // A failed first write leaves the command in the buffer, so this test fails.
    if (buffer[0] == 0x63)
        return true;
    if (m_c.interfaceKind != PortKind::Usb) {
        for (int i = 0; i < 10; ++i) {
            Wait(100);
            Read(buffer, 1);
            if (buffer[0] == 0x63)
                return true;
            std::memset(buffer, 0, sizeof buffer);
        }
    }
    m_c.messages.Show(kCantConnect, "Information", MessageIcon::Information);
    m_c.progress.SetPosition(0);
    return false;
}

bool StatusExchange::IdentifyModel()
{
    if (!m_c.facts.firmwareVersion.empty())
        return true;
    ReadFirmwareAndLanguage();
    uint8_t buffer[20] = {};
    Write({0x1D, 0x49, 0x43});
    m_c.progress.SetPosition(10);
    m_c.facts.modelName.clear();
    if (ByteWise()) {
        Wait(1000);
        m_c.facts.modelName = ByteWiseText(buffer, true);
        Drain(buffer);
    } else {
        BlockRead(buffer, 16);
        for (size_t i = 1; i < sizeof buffer && buffer[i] != 0; ++i)
            m_c.facts.modelName += char(buffer[i]);
    }
    m_c.progress.SetPosition(30);
    if (m_c.facts.modelName.find("TLR-") == std::string::npos) {
        m_c.messages.Show(kNotOurPrinter, "Warning", MessageIcon::Warning);
        return false;
    }
    Notify();
    return true;
}

std::string StatusExchange::ReadText(uint8_t query)
{
    uint8_t buffer[64] = {};
    Write({0x1D, 0x49, query});
    std::string text;
    if (ByteWise()) {
        Wait(100);
        text = ByteWiseText(buffer, false);
        IdleDrain(m_c.port, m_c.clock, buffer, sizeof buffer);
        return text;
    }
    BlockRead(buffer, sizeof buffer);
    size_t start = 0;
    while (start < sizeof buffer && buffer[start] != 0x5F)
        ++start;
    start = start < sizeof buffer ? start + 1 : 0;
    for (size_t i = start; i < sizeof buffer && buffer[i] != 0; ++i)
        text += char(buffer[i]);
    return text;
}

void StatusExchange::ReadFirmwareAndLanguage()
{
    if (ByteWise()) {
        uint8_t buffer[64] = {};
        IdleDrain(m_c.port, m_c.clock, buffer, sizeof buffer);
    }
    const std::string firmware = ReadText(0x41);
    const std::string language = ReadText(0x45);
    m_c.facts.firmwareVersion = firmware;
    m_c.facts.language = language;
    Notify();
}

void StatusExchange::ReadSwitches()
{
    for (int slot = 0; slot < 8; ++slot) {
        uint8_t buffer[20] = {};
        const uint8_t query[7] = {0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, kSwitchNumbers[slot]};
        Write(query, sizeof query);
        int lastDigit = 10; // the digit of pin p is at lastDigit - p
        if (ByteWise()) {
            lastDigit = 9;
            Wait(100);
            Read(buffer, 1);
            bool replied = true;
            if (slot >= 1 && slot <= 5) {
                m_c.progress.Step();
                // Wait for the reply's header byte, but not for ever.
                int empty = 0;
                int bytes = 0;
                while (buffer[0] != 0x37) {
                    if (empty >= kMaxEmptyReads || bytes >= kMaxHeaderBytes) {
                        replied = false;
                        break;
                    }
                    if (Read(buffer, 1) > 0) {
                        ++bytes;
                        empty = 0;
                    } else {
                        ++empty;
                    }
                }
            }
            if (replied)
                Read(buffer, 10);
            else
                std::memset(buffer, 0, sizeof buffer);
            if (slot == 0 || slot >= 6)
                m_c.progress.Step();
        } else {
            BlockRead(buffer, 16);
        }
        for (int pin = 1; pin <= 8; ++pin) {
            const uint8_t digit = buffer[lastDigit - pin];
            m_c.record.switchPins[slot][pin] = digit == '0' ? PinOff : digit == '1' ? PinOn : PinNoChange;
            m_c.progress.Step();
        }
    }
}

void StatusExchange::ReadPowerSave()
{
    uint8_t buffer[20] = {};
    Write({0x08, 0x5E, 0x50, 0x31});
    Wait(100);
    if (ByteWise()) {
        Wait(100);
        Read(buffer, 4);
    } else {
        BlockRead(buffer, 4);
    }
    m_c.facts.powerSaveMode = buffer[1] == 0 ? 0 : 1;
    m_c.facts.entranceTimeEnabled = buffer[1] != 0;
    m_c.facts.entranceTime = buffer[2];
    Notify();
    if (ByteWise())
        Drain(buffer);
}

void StatusExchange::ReadStatus()
{
    m_c.progress.SetPosition(0);
    ReadSwitches();
    ReadPowerSave();
    Write(kSelectPrinter, 3);
    m_c.progress.Step();
    m_c.progress.SetPosition(100);
}

void StatusExchange::WriteStatus()
{
    uint8_t buffer[32] = {};
    m_c.progress.SetPosition(0);
    m_c.progress.SetStep(10);
    Write({0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E});
    if (ByteWise()) {
        Wait(100);
        Read(buffer, 3);
    } else {
        BlockRead(buffer, 16);
    }
    m_c.progress.Step();
    for (int slot = 0; slot < 8; ++slot) {
        uint8_t command[15] = {0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, kSwitchNumbers[slot]};
        for (int pin = 8; pin >= 1; --pin) {
            const int32_t state = m_c.record.switchPins[slot][pin];
            command[7 + (8 - pin)] = state == PinOn ? '1' : state == PinOff ? '0' : '2';
        }
        Write(command, sizeof command);
        m_c.progress.Step();
    }
    Write({0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54});
    Wait(100);
    Write({0x08, 0x5E, 0x50, 0x30, uint8_t(m_c.facts.powerSaveMode != 0 ? 1 : 0), uint8_t(m_c.facts.entranceTime)});
    Write(kSelectPrinter, 3);
    for (int i = 0; i < 2; ++i) {
        m_c.progress.Step();
        Wait(1000);
        m_c.progress.Step();
    }
}

bool StatusExchange::PrintStatus()
{
    if (!CheckPrinter())
        return false;
    Write({0x08, 0x39, 0x01, 0x00});
    m_c.progress.SetPosition(0);
    return true;
}

void StatusExchange::PrintCodepage()
{
    Write({0x08, 0x39, 0x02, 0x00});
}

} // namespace kalo
