#include "PrinterIdentification.h"

#include "port/IdleDrain.h"
#include "port/ModelTable.h"
#include "port/PrinterCommands.h"
#include "port/TextReply.h"
#include "port/WriteReport.h"

#include <cstring>

namespace kalo {

namespace {

using platform::MessageIcon;

constexpr size_t kBufferSize = 20;

class Exchange {
public:
    Exchange(CPrinterPort& port, PortKind interfaceKind, platform::Clock& clock)
        : m_port(port)
        , m_byteWise(IsByteWise(interfaceKind))
        , m_clock(clock)
    {
    }

    ConnectOutcome Run(IdentifyResult& result);

private:
    void Clear() { std::memset(m_buffer, 0, sizeof m_buffer); }
    template <size_t N>
    int Send(const cmd::Command<N>& command)
    {
        // The command goes out of the shared buffer, with its terminating zero copied along.
        Clear();
        std::memcpy(m_buffer, command.data(), N);
        return m_port.Write(m_buffer, uint32_t(N));
    }
    int Read(uint32_t length) { return m_port.Read(m_buffer, length); }
    void AwaitReply(uint32_t ms, const ReplyShape& shape) { m_port.AwaitReply(ms, shape); }
    std::string ReadText(uint32_t byteWiseWaitMs);

    CPrinterPort& m_port;
    const bool m_byteWise;
    platform::Clock& m_clock;
    uint8_t m_buffer[kBufferSize] = {};
};

std::string Exchange::ReadText(uint32_t byteWiseWaitMs)
{
    if (!m_byteWise)
        return ReadBlockText(m_port, m_buffer, sizeof m_buffer, 16, TextStart::SecondByte);
    Clear();
    AwaitReply(byteWiseWaitMs, ReplyShape::Text());
    // The first read that brings nothing ends the text.
    return ReadByteWiseText(m_port, m_buffer, 1);
}

ConnectOutcome Exchange::Run(IdentifyResult& result)
{
    if (m_byteWise)
        IdleDrain(m_port, m_clock, m_buffer, sizeof m_buffer);
    if (Send(cmd::kInitialize) != int(cmd::kInitialize.size()))
        return ConnectOutcome::PortError;
    Send(cmd::kSelectPrinter);
    Send(cmd::kStatusBackOff);
    Clear();
    if (m_byteWise && m_port.ReplyPaced()) {
        m_port.DrainReplies(5 * 100);
    } else if (m_byteWise) {
        for (int i = 0; i < 5; ++i) {
            m_clock.SleepMs(100);
            Read(1);
        }
    }

    Send(cmd::kIdentificationByteQuery);
    Clear();
    if (m_byteWise) {
        AwaitReply(100, ReplyShape::Bytes(1));
        Read(1);
    } else {
        AwaitReply(200, ReplyShape::Bytes(1));
        for (int i = 0; i < 5; ++i) {
            if (Read(16) > 0)
                break;
        }
    }
    bool identified = m_buffer[0] == 0x63;
    if (!identified && m_byteWise) {
        for (int i = 0; i < 10 && !identified; ++i) {
            AwaitReply(100, ReplyShape::Bytes(1));
            Read(1);
            identified = m_buffer[0] == 0x63;
            if (!identified)
                Clear();
        }
    }
    if (!identified)
        return ConnectOutcome::NoPrinterId;

    Send(cmd::kMakerNameQuery);
    result.maker = ReadText(1000);
    // The printer's pause between two queries. When the maker's reply came
    // whole up to its closing 0x00 and the line went quiet after it, the
    // printer is done with the query before and waits for the next: the
    // reply pace has nothing left to pause for.
    if (!m_port.ReplySettled())
        m_clock.SleepMs(500);
    if (result.maker != kMakerName)
        return ConnectOutcome::WrongMaker;

    Send(cmd::kModelNameQuery);
    result.model = ReadText(100);
    for (const ModelInfo& model : kModels) {
        if (result.model == model.modelName)
            return ConnectOutcome::Connected;
    }
    return ConnectOutcome::WrongModel;
}

} // namespace

const OutcomeMessage& MessageFor(ConnectOutcome outcome)
{
    static const OutcomeMessage kConnected{"Printer is connected.", "Information", MessageIcon::Information};
    static const OutcomeMessage kConfigure{"Port Configuration Set Error!", "Warning", MessageIcon::Warning};
    static const OutcomeMessage kOpen{"Can't open port and Printer is disconnected", "Warning", MessageIcon::Warning};
    static const OutcomeMessage kPort{"Port error! Check printer's port, please.", "Warning", MessageIcon::Warning};
    static const OutcomeMessage kId{"Fail to get printer ID.\r\n\r\nPlease retry connect", "Warning",
                                    MessageIcon::Warning};
    static const OutcomeMessage kMaker{"This printer don't match our company name.", "Warning", MessageIcon::Warning};
    static const OutcomeMessage kModel{"The connected printer has different Model name.", "Warning",
                                       MessageIcon::Warning};
    switch (outcome) {
    case ConnectOutcome::Connected: return kConnected;
    case ConnectOutcome::ConfigureFailed: return kConfigure;
    case ConnectOutcome::OpenFailed: return kOpen;
    case ConnectOutcome::PortError: return kPort;
    case ConnectOutcome::NoPrinterId: return kId;
    case ConnectOutcome::WrongMaker: return kMaker;
    case ConnectOutcome::WrongModel: return kModel;
    }
    return kPort;
}

IdentifyResult IdentifyPrinter(CPrinterPort& port, PortKind interfaceKind, platform::Clock& clock)
{
    IdentifyResult result;
    Exchange exchange(port, interfaceKind, clock);
    result.outcome = exchange.Run(result);
    // A refusal that came of a hang-up or a stopped write carries its reason,
    // so a printer switched off midway does not pass for another model.
    if (result.outcome == ConnectOutcome::PortError || !WentOutWhole(port))
        result.failure = port.LastFailure();
    if (!result.Connected())
        port.Close();
    return result;
}

IdentifyResult ConnectPrinter(CPrinterPort& port, const PortSettings& settings, PortKind interfaceKind,
                              platform::Clock& clock)
{
    IdentifyResult result;
    if (port.Configure(settings) != 1) {
        result.outcome = ConnectOutcome::ConfigureFailed;
        result.failure = port.LastFailure();
        return result;
    }
    if (port.Open() != 1) {
        result.outcome = ConnectOutcome::OpenFailed;
        result.failure = port.LastFailure();
        return result;
    }
    return IdentifyPrinter(port, interfaceKind, clock);
}

} // namespace kalo
