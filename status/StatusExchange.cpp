#include "StatusExchange.h"

#include "platform/Interruption.h"
#include "port/IdleDrain.h"
#include "port/WriteReport.h"

#include <cstring>

namespace kalo {

using platform::MessageIcon;

namespace {
const char kCantConnect[] = "Can't connect printer. Please restart printer.";
const char kOtherProduct[] = "Don't use this program for other company product.";
const char kNotOurPrinter[] = "This printer don't match our printer name.";
constexpr uint32_t kPowerSaveReplyLength = 4;
constexpr ReplyShape kIdentificationByte = ReplyShape::Bytes(1);
// The header and the ten bytes after it: the identifier, eight digits, 0x00.
constexpr ReplyShape kSwitchReply = ReplyShape::AfterHeader(0x37, 10);
constexpr ReplyShape kPowerSaveReply = ReplyShape::Bytes(kPowerSaveReplyLength);
constexpr ReplyShape kUserSettingReply = ReplyShape::Bytes(3);

// A switch reply from its identifier on: the identifier (never examined),
// eight digits "0" or "1" for pin 8 down to pin 1, and the closing 0x00.
// A stray byte ahead of the reply shifts it out of this shape.
bool InSwitchLayout(const uint8_t* identifier)
{
    for (int i = 1; i <= 8; ++i) {
        if (identifier[i] != '0' && identifier[i] != '1')
            return false;
    }
    return identifier[9] == 0x00;
}
} // namespace

std::string NoAnswerMessage(const StatusReadReport& report)
{
    std::string names;
    for (int number : report.missingSwitches)
        names += (names.empty() ? "" : ", ") + std::string("memory switch ") + std::to_string(number);
    if (report.powerSaveMissing)
        names += names.empty() ? "power save" : ", power save";
    return "The printer did not answer for: " + names
        + ". These show \"No Change\" and Set Status leaves them as they are.";
}

StatusExchange::StatusExchange(Context context)
    : m_c(std::move(context))
{
}

void StatusExchange::Notify()
{
    if (m_c.factsChanged)
        m_c.factsChanged();
}

void StatusExchange::Drain(uint8_t* buffer)
{
    if (m_c.port.ReplyPaced()) {
        m_c.port.DrainReplies(5 * 100);
        return;
    }
    for (int i = 0; i < 5; ++i) {
        Wait(100);
        Read(buffer, 1);
    }
}

bool StatusExchange::CheckPrinter()
{
    uint8_t buffer[20] = {};
    std::memcpy(buffer, cmd::kInitialize.data(), cmd::kInitialize.size());
    bool written = m_c.port.Write(buffer, uint32_t(cmd::kInitialize.size())) != 0;
    if (written) {
        if (ByteWise())
            Drain(buffer);
        Send(cmd::kSelectPrinter);
        if (!IdentifyModel()) {
            m_c.messages.Show(kOtherProduct, "Information", MessageIcon::Warning);
            return false;
        }
        m_c.progress.SetPosition(50);
        Send(cmd::kStatusBackOff);
        if (ByteWise())
            Drain(buffer);
        m_c.progress.SetPosition(70);
        Send(cmd::kIdentificationByteQuery);
        std::memset(buffer, 0, sizeof buffer);
        if (m_c.interfaceKind == PortKind::Usb) {
            BlockRead(buffer, 16, kIdentificationByte);
        } else {
            AwaitReply(100, kIdentificationByte);
            Read(buffer, 1);
        }
        m_c.progress.SetPosition(90);
    }
    // A failed first write leaves the command in the buffer, so this test fails.
    if (buffer[0] == 0x63)
        return true;
    if (m_c.interfaceKind != PortKind::Usb) {
        for (int i = 0; i < 10; ++i) {
            AwaitReply(100, kIdentificationByte);
            Read(buffer, 1);
            if (buffer[0] == 0x63)
                return true;
            std::memset(buffer, 0, sizeof buffer);
        }
    }
    m_c.messages.Show(kCantConnect, "Information", MessageIcon::Information, m_c.port.FailureText());
    m_c.progress.SetPosition(0);
    return false;
}

bool StatusExchange::IdentifyModel()
{
    if (!m_c.facts.firmwareVersion.empty())
        return true;
    ReadFirmwareAndLanguage();
    uint8_t buffer[20] = {};
    Send(cmd::kModelNameQuery);
    m_c.progress.SetPosition(10);
    m_c.facts.modelName.clear();
    if (ByteWise()) {
        AwaitReply(1000, ReplyShape::Text());
        m_c.facts.modelName = ReadByteWiseText(m_c.port, buffer, kMaxEmptyReads, [this] { m_c.progress.Step(); });
        Drain(buffer);
    } else {
        m_c.facts.modelName = ReadBlockText(m_c.port, buffer, sizeof buffer, 16, TextStart::SecondByte);
    }
    m_c.progress.SetPosition(30);
    if (m_c.facts.modelName.find("TLR-") == std::string::npos) {
        // A printer that hung up leaves the name empty: the reason says so
        // rather than leave it to pass for another maker's printer.
        m_c.messages.Show(kNotOurPrinter, "Warning", MessageIcon::Warning,
                          WentOutWhole(m_c.port) ? std::string() : m_c.port.FailureText());
        return false;
    }
    Notify();
    return true;
}

std::string StatusExchange::ReadText(const std::array<uint8_t, 3>& query)
{
    uint8_t buffer[64] = {};
    Send(query);
    if (!ByteWise())
        return ReadBlockText(m_c.port, buffer, sizeof buffer, sizeof buffer, TextStart::AfterUnderscore);
    AwaitReply(100, ReplyShape::Text());
    const std::string text = ReadByteWiseText(m_c.port, buffer, kMaxEmptyReads);
    IdleDrain(m_c.port, m_c.clock, buffer, sizeof buffer);
    return text;
}

void StatusExchange::ReadFirmwareAndLanguage()
{
    if (ByteWise()) {
        uint8_t buffer[64] = {};
        IdleDrain(m_c.port, m_c.clock, buffer, sizeof buffer);
    }
    const std::string firmware = ReadText(cmd::kFirmwareVersionQuery);
    const std::string language = ReadText(cmd::kLanguageQuery);
    m_c.facts.firmwareVersion = firmware;
    m_c.facts.language = language;
    Notify();
}

bool StatusExchange::ReadSwitchReplyByteWise(int slot, uint8_t* buffer)
{
    AwaitReply(100, kSwitchReply);
    Read(buffer, 1);
    if (slot >= 1 && slot <= 5) {
        m_c.progress.Step();
        // Wait for the reply's header byte, but not for ever.
        int empty = 0;
        int bytes = 0;
        while (buffer[0] != 0x37) {
            if (empty >= kMaxEmptyReads || bytes >= kMaxHeaderBytes)
                return false;
            if (Read(buffer, 1) > 0) {
                ++bytes;
                empty = 0;
            } else {
                ++empty;
            }
        }
    }
    return true;
}

StatusReadReport StatusExchange::ReadSwitches()
{
    StatusReadReport report;
    for (int slot = 0; slot < 8; ++slot) {
        uint8_t buffer[20] = {};
        const auto query = cmd::SwitchQuery(kSwitchNumbers[slot]);
        const bool asked = Send(query) == int(query.size());
        // Where the identifier lands; the digit of pin p is p bytes before the 0x00 after it.
        const uint8_t* identifier = buffer + 1;
        bool whole = false;
        if (ByteWise()) {
            identifier = buffer;
            if (ReadSwitchReplyByteWise(slot, buffer))
                whole = Read(buffer, 10) == 10;
            else
                std::memset(buffer, 0, sizeof buffer);
            if (slot == 0 || slot >= 6)
                m_c.progress.Step();
        } else {
            whole = BlockRead(buffer, 16, kSwitchReply) >= 11;
        }
        const bool answered = asked && whole && InSwitchLayout(identifier);
        if (!answered)
            report.missingSwitches.push_back(kSwitchNumbers[slot]);
        for (int pin = 1; pin <= 8; ++pin) {
            // A reply in its layout holds only "0" and "1".
            const uint8_t digit = identifier[9 - pin];
            m_c.record.switchPins[slot][pin] = !answered ? PinNoChange : digit == '1' ? PinOn : PinOff;
            m_c.progress.Step();
        }
    }
    return report;
}

StatusReadReport StatusExchange::ReadPowerSave()
{
    uint8_t buffer[20] = {};
    const bool asked = Send(cmd::kPowerSaveQuery) == int(cmd::kPowerSaveQuery.size());
    AwaitReply(100, kPowerSaveReply);
    int got = 0;
    if (ByteWise()) {
        AwaitReply(100, kPowerSaveReply);
        got = Read(buffer, kPowerSaveReplyLength);
    } else {
        got = BlockRead(buffer, kPowerSaveReplyLength, kPowerSaveReply);
    }
    StatusReadReport report;
    report.powerSaveMissing = !asked || got < int(kPowerSaveReplyLength);
    // Part of a reply is not the printer's setting: it reads as no reply at all.
    if (report.powerSaveMissing)
        std::memset(buffer, 0, sizeof buffer);
    m_c.facts.powerSaveMode = buffer[1] == 0 ? 0 : 1;
    m_c.facts.entranceTime = buffer[2];
    m_c.facts.powerSaveUnanswered = report.powerSaveMissing;
    Notify();
    if (ByteWise())
        Drain(buffer);
    return report;
}

StatusReadReport StatusExchange::ReadStatus()
{
    m_c.progress.SetPosition(0);
    StatusReadReport report = ReadSwitches();
    report.powerSaveMissing = ReadPowerSave().powerSaveMissing;
    Send(cmd::kSelectPrinter);
    m_c.progress.Step();
    m_c.progress.SetPosition(100);
    return report;
}

bool StatusExchange::WriteStatus()
{
    uint8_t buffer[32] = {};
    m_c.progress.SetPosition(0);
    m_c.progress.SetStep(10);
    bool entered = false;
    bool exitSent = false;
    if (!platform::Interrupted()) {
        // A printer left in user-setting mode takes no print jobs: once it is
        // in, an interruption waits until the command that ends it is out.
        const platform::InterruptionHold hold;
        entered = Send(cmd::kEnterUserSetting) == int(cmd::kEnterUserSetting.size());
        if (ByteWise()) {
            AwaitReply(100, kUserSettingReply);
            Read(buffer, 3);
        } else {
            BlockRead(buffer, 16, kUserSettingReply);
        }
        m_c.progress.Step();
        for (int slot = 0; slot < 8; ++slot) {
            std::array<char, 8> pins{};
            for (int pin = 8; pin >= 1; --pin) {
                const int32_t state = m_c.record.switchPins[slot][pin];
                pins[size_t(8 - pin)] = state == PinOn ? '1' : state == PinOff ? '0' : '2';
            }
            Send(cmd::SwitchWrite(kSwitchNumbers[slot], pins));
            m_c.progress.Step();
        }
        exitSent = Send(cmd::kEndUserSetting) == int(cmd::kEndUserSetting.size());
    }
    Wait(100);
    // What the printer did not tell is not written back as if it had.
    if (!m_c.facts.powerSaveUnanswered)
        Send(cmd::PowerSaveWrite(m_c.facts.powerSaveMode != 0, uint8_t(m_c.facts.entranceTime)));
    Send(cmd::kSelectPrinter);
    for (int i = 0; i < 2; ++i) {
        m_c.progress.Step();
        Wait(1000);
        m_c.progress.Step();
    }
    // A network link or a terminal counts what the system took, not what the
    // printer got: once the entry went out, a stop anywhere after it may
    // have kept the exit from the printer. An interruption after the exit
    // only skips what follows it: the link itself was fine.
    m_leftInUserSetting = entered && (!exitSent || (!WentOutWhole(m_c.port) && !platform::Interrupted()));
    return WentOutWhole(m_c.port);
}

bool StatusExchange::PrintStatus()
{
    if (!CheckPrinter())
        return false;
    Send(cmd::kPrintStatusSheet);
    m_c.progress.SetPosition(0);
    return true;
}

bool StatusExchange::PrintCodepage()
{
    Send(cmd::kPrintCodePageSheet);
    return WentOutWhole(m_c.port);
}

} // namespace kalo
