#include "PrinterState.h"

namespace kalo {

const char* PrinterStateWord(PrinterState state)
{
    switch (state) {
    case PrinterState::Ready: return "ready";
    case PrinterState::PaperNearEnd: return "paper-near-end";
    case PrinterState::PaperOut: return "paper-out";
    case PrinterState::CoverOpen: return "cover-open";
    case PrinterState::Offline: return "offline";
    case PrinterState::Error: return "error";
    case PrinterState::Busy: return "busy";
    case PrinterState::Unknown: return "unknown";
    case PrinterState::Unreachable: return "unreachable";
    }
    return "unknown";
}

const char* PaperStateWord(PaperState paper)
{
    switch (paper) {
    case PaperState::Ok: return "ok";
    case PaperState::NearEnd: return "near-end";
    case PaperState::Out: return "out";
    case PaperState::Unknown: return "unknown";
    }
    return "unknown";
}

bool NeedsAttention(PrinterState state)
{
    return state == PrinterState::PaperNearEnd;
}

bool CannotPrint(PrinterState state)
{
    return state == PrinterState::PaperOut || state == PrinterState::CoverOpen || state == PrinterState::Offline
        || state == PrinterState::Error;
}

} // namespace kalo
