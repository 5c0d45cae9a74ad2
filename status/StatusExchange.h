#pragma once

#include "PrinterFacts.h"
#include "ProgressSink.h"
#include "StatusRecord.h"
#include "platform/Clock.h"
#include "platform/MessageSink.h"
#include "port/CPrinterPort.h"
#include "port/PrinterCommands.h"
#include "port/TextReply.h"
#include "port/WriteReport.h"

#include <array>

#include <functional>
#include <string>
#include <vector>

namespace kalo {

// Which replies of a status read did not arrive whole and in their layout
// (or came after the printer went away). Their rows were left at
// PinNoChange, so a later Set Status leaves those pins as they are.
struct StatusReadReport {
    std::vector<int> missingSwitches; // printer switch numbers (1..6, 11, 12), in reading order
    bool powerSaveMissing = false;
    bool Complete() const { return missingSwitches.empty() && !powerSaveMissing; }
};

// The Get Status warning that names what is missing.
std::string NoAnswerMessage(const StatusReadReport& report);

// The Printer Status window's exchanges with the printer, without the window:
// check it, read its switches and power-save settings, write them back, have
// it print its sheets. Byte-wise links (serial, parallel) are read a byte or
// an exact reply length at a time, block links (USB, Ethernet) in one block
// read with one retry. Messages and progress go to the sinks given; the
// facts the printer reports go to facts, and factsChanged is called after.
class StatusExchange {
public:
    struct Context {
        CPrinterPort& port;
        PortKind interfaceKind;
        platform::Clock& clock;
        platform::MessageSink& messages;
        ProgressSink& progress;
        StatusRecord& record;
        PrinterFacts& facts;
        std::function<void()> factsChanged;
    };

    // Bounds on replies that never end: this many empty reads in a row (each
    // waits 110 ms on a serial line, far beyond a byte's time even at 2400
    // baud), or this many bytes, end a text or the wait for a switch header.
    static constexpr int kMaxEmptyReads = 5;
    static constexpr int kMaxHeaderBytes = 64;

    explicit StatusExchange(Context context);

    bool CheckPrinter();
    bool IdentifyModel();
    void ReadFirmwareAndLanguage();
    // The reports name the replies that did not come whole.
    StatusReadReport ReadSwitches();
    StatusReadReport ReadPowerSave();
    // Get Status after its printer check: switches, power save, select printer.
    StatusReadReport ReadStatus();
    // The writes below return WentOutWhole for the port: true when nothing
    // written since its tally was last reset went out short. An interruption
    // of the program never falls between entering user-setting mode and
    // leaving it.
    bool WriteStatus();
    // How a cut-short WriteStatus is to be reported: the printer may be left
    // in user-setting mode when the entry went out and a later write stopped.
    WriteOperation SetStatusOperation() const
    {
        return m_leftInUserSetting ? WriteOperation::SetStatusInUserSetting : WriteOperation::SetStatus;
    }
    // Print Status: the check, then the sheet. False when the check failed;
    // whether the sheet went out whole the port's tally tells.
    bool PrintStatus();
    bool PrintCodepage();

private:
    bool ByteWise() const { return IsByteWise(m_c.interfaceKind); }
    template <size_t N>
    int Send(const cmd::Command<N>& command) { return cmd::Send(m_c.port, command); }
    int Read(uint8_t* buffer, uint32_t length) { return m_c.port.Read(buffer, length); }
    // A wait the printer needs to carry out a command: the same under both paces.
    void Wait(uint32_t ms) { m_c.clock.SleepMs(ms); }
    // A wait before the reads of a reply of this shape.
    void AwaitReply(uint32_t ms, const ReplyShape& shape) { m_c.port.AwaitReply(ms, shape); }
    void Drain(uint8_t* buffer);
    int BlockRead(uint8_t* buffer, uint32_t length, const ReplyShape& shape)
    {
        return kalo::BlockRead(m_c.port, buffer, length, shape);
    }
    // Byte-wise: the switch reply after its header; false when the header never came.
    bool ReadSwitchReplyByteWise(int slot, uint8_t* buffer);
    std::string ReadText(const std::array<uint8_t, 3>& query);
    void Notify();

    Context m_c;
    bool m_leftInUserSetting = false;
};

} // namespace kalo
