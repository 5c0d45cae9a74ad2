#include "RealTimeStatus.h"

#include "platform/Deadline.h"
#include "platform/Interruption.h"
#include "port/PrinterCommands.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace kalo {

namespace {

constexpr uint32_t kReplyWaitMs = 100;

std::optional<bool> Bit(const std::optional<uint8_t>& reply, int bit)
{
    if (!reply)
        return std::nullopt;
    return ((*reply >> bit) & 1) != 0;
}

// What each reply of a status byte's shape says; a part whose reply is not
// there stays unknown.
void DecodeReplies(RealTimeStatus& status)
{
    const auto& [printer, offlineCause, errorCause, paperSensor] = status.replies;
    status.offline = Bit(printer, 3);
    status.drawerHigh = Bit(printer, 2);
    status.coverOpen = Bit(offlineCause, 2);
    for (const auto& [reply, bit, word] : {std::tuple{printer, 5, "waiting-for-recovery"},
                                           {printer, 6, "feed-button"}, {offlineCause, 3, "feeding"}}) {
        if (Bit(reply, bit).value_or(false))
            status.info.emplace_back(word);
    }
    // Either bit of a pair counts; the paper end wins over its near end.
    if (paperSensor)
        status.paper = (*paperSensor & 0x60) ? PaperState::Out
            : (*paperSensor & 0x0C)          ? PaperState::NearEnd
                                             : PaperState::Ok;
    else if (Bit(offlineCause, 5).value_or(false))
        status.paper = PaperState::Out; // printing stopped by the paper end
    const bool errorOccurred = Bit(offlineCause, 6).value_or(false);
    if (errorCause) {
        status.errors.emplace();
        for (const auto& [bit, word] : {std::pair{3, "cutter"}, {5, "unrecoverable"}, {6, "auto"}}) {
            if (*Bit(errorCause, bit))
                status.errors->emplace_back(word);
        }
    }
    if (errorOccurred && (!status.errors || status.errors->empty()))
        status.errors = std::vector<std::string>{"error"};
}

void DecodeLineStatus(RealTimeStatus& status, uint8_t line)
{
    const bool selected = (line & platform::kLptSelected) != 0;
    status.fromLineStatus = true;
    status.offline = !selected;
    status.paper = (line & platform::kLptPaperOut) ? PaperState::Out : PaperState::Ok;
    status.errors = (line & platform::kLptNoError) ? std::vector<std::string>{} : std::vector<std::string>{"error"};
    if (selected)
        status.coverOpen = false;
}

PrinterState MostSevere(const RealTimeStatus& status)
{
    if (status.errors && !status.errors->empty())
        return PrinterState::Error;
    if (status.coverOpen.value_or(false))
        return PrinterState::CoverOpen;
    if (status.paper == PaperState::Out)
        return PrinterState::PaperOut;
    if (status.offline.value_or(false))
        return PrinterState::Offline;
    if (status.paper == PaperState::Unknown || !status.coverOpen || !status.offline || !status.errors)
        return PrinterState::Unknown;
    return status.paper == PaperState::NearEnd ? PrinterState::PaperNearEnd : PrinterState::Ready;
}

std::string Joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

} // namespace

bool IsStatusByte(uint8_t byte)
{
    return (byte & 0x93) == 0x12;
}

std::string ErrorText(const std::string& error)
{
    if (error == "cutter")
        return "auto-cutter error";
    if (error == "auto")
        return "automatically recoverable error";
    return error == "unrecoverable" ? "unrecoverable error" : error;
}

bool RealTimeStatus::Answered() const
{
    return fromLineStatus
        || std::any_of(replies.begin(), replies.end(), [](const std::optional<uint8_t>& reply) { return reply.has_value(); });
}

RealTimeStatus RealTimeStatus::Unread(PrinterState why)
{
    RealTimeStatus status;
    status.state = why;
    return status;
}

RealTimeStatus DecodeRealTimeStatus(const RealTimeReplies& replies)
{
    RealTimeStatus status;
    bool any = false;
    for (size_t i = 0; i < replies.bytes.size(); ++i) {
        if (replies.bytes[i] && IsStatusByte(*replies.bytes[i]))
            status.replies[i] = replies.bytes[i];
        any = any || replies.bytes[i].has_value();
    }
    if (!any && replies.lineStatus)
        DecodeLineStatus(status, *replies.lineStatus);
    else
        DecodeReplies(status);
    status.state = MostSevere(status);
    return status;
}

std::string RealTimeStatus::Text() const
{
    if (state == PrinterState::Ready)
        return "Ready";
    if (state == PrinterState::Busy || state == PrinterState::Unreachable)
        return state == PrinterState::Busy ? "Busy" : "Unreachable";
    std::vector<std::string> parts;
    if (coverOpen.value_or(false))
        parts.emplace_back("cover open");
    if (paper == PaperState::Out || paper == PaperState::NearEnd)
        parts.emplace_back(paper == PaperState::Out ? "paper out" : "paper near end");
    const bool off = offline.value_or(false);
    if (errors && !errors->empty()) {
        std::vector<std::string> texts;
        for (const std::string& error : *errors)
            texts.push_back(ErrorText(error));
        parts.push_back((off ? "off line: " : "") + Joined(texts));
    } else if (off && !coverOpen.value_or(false) && paper != PaperState::Out) {
        parts.emplace_back("off line");
    }
    std::string text = Joined(parts);
    if (state == PrinterState::Unknown)
        text = text.empty() ? "unknown" : text + ", the rest unknown";
    if (!text.empty())
        text[0] = char(text[0] - 'a' + 'A');
    return text;
}

RealTimeReplies ReadRealTimeReplies(CPrinterPort& port, PortKind interfaceKind)
{
    RealTimeReplies replies;
    const platform::Deadline deadline(port.GetPlatform().GetClock(), int64_t(kRealTimeStatusBoundMs) * 1000);
    for (uint8_t n = 1; n <= 4 && !deadline.Expired() && !platform::Interrupted(); ++n) {
        const cmd::Command<3> query = cmd::RealTimeStatusQuery(n);
        if (port.Write(query.data(), uint32_t(query.size())) != int(query.size()))
            break; // the port failed: what is left stays unknown
        port.AwaitReply(kReplyWaitMs, ReplyShape::Bytes(1));
        // A reply not there yet gets its share of what is left, so a printer
        // that leaves one request unanswered is still asked the others.
        uint8_t byte = 0;
        if (port.ReadBounded(&byte, 1, deadline.Remaining() / (5 - n)) == 1)
            replies.bytes[n - 1] = byte;
    }
    if (interfaceKind == PortKind::Parallel)
        replies.lineStatus = port.LineStatus();
    return replies;
}

RealTimeStatus ReadRealTimeStatus(CPrinterPort& port, PortKind interfaceKind)
{
    const RealTimeReplies replies = ReadRealTimeReplies(port, interfaceKind);
    // A link that is gone before anything answered is no printer in a state
    // unknown: nothing can be asked of it.
    const bool nothing = std::none_of(std::begin(replies.bytes), std::end(replies.bytes),
                                      [](const std::optional<uint8_t>& byte) { return byte.has_value(); });
    if (nothing && !replies.lineStatus && port.LinkLost())
        return RealTimeStatus::Unread(PrinterState::Unreachable);
    return DecodeRealTimeStatus(replies);
}

std::string UnreadReason(const CPrinterPort& port)
{
    const std::string reason = port.FailureText();
    return reason.empty() ? "A real-time status reply was missing or not a status byte." : reason;
}

} // namespace kalo
