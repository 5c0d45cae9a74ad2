#pragma once

#include "PrinterFacts.h"
#include "ProgressSink.h"
#include "StatusRecord.h"
#include "platform/Clock.h"
#include "platform/MessageSink.h"
#include "port/CPrinterPort.h"

#include <functional>

namespace kalo {

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
    static constexpr int kMaxTextBytes = 256;
    static constexpr int kMaxHeaderBytes = 64;

    explicit StatusExchange(Context context);

    bool CheckPrinter();
    bool IdentifyModel();
    void ReadFirmwareAndLanguage();
    void ReadSwitches();
    void ReadPowerSave();
    void WriteStatus();
    // Get Status after its printer check: switches, power save, select printer.
    void ReadStatus();
    // Print Status: the check, then the sheet. False when the check failed.
    bool PrintStatus();
    void PrintCodepage();

private:
    bool ByteWise() const { return IsByteWise(m_c.interfaceKind); }
    int Write(std::initializer_list<uint8_t> bytes);
    int Write(const uint8_t* data, uint32_t length) { return m_c.port.Write(data, length); }
    int Read(uint8_t* buffer, uint32_t length) { return m_c.port.Read(buffer, length); }
    void Wait(uint32_t ms) { m_c.clock.SleepMs(ms); }
    void Drain(uint8_t* buffer);
    // Reads single bytes up to the 0x00 that ends a text; "_" is dropped.
    std::string ByteWiseText(uint8_t* buffer, bool stepEachByte);
    // Waits 200 ms and reads a block, once more when nothing came.
    int BlockRead(uint8_t* buffer, uint32_t length);
    std::string ReadText(uint8_t query);
    void Notify();

    Context m_c;
};

} // namespace kalo
