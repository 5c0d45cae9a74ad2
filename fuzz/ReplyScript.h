#pragma once

#include "port/PortSettings.h"
#include "sim/InProcessPlatform.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalo::fuzz {

// A fuzz input read as what a printer says: one reply per write the program
// makes, each a length byte and then that many bytes (fewer at the end of the
// input). Once the input is used up the printer stays silent.
class ReplyScript {
public:
    ReplyScript(const uint8_t* data, size_t size) : m_next(data), m_left(size) {}
    void Answer(std::vector<uint8_t>& reply);
    // Makes machine's links answer from this script, which must outlive them.
    void AnswerOn(sim::InProcessPlatform& machine);

private:
    const uint8_t* m_next;
    size_t m_left;
};

// The interface a fuzz input's first byte picks, set up on machine so that
// its settings reach the in-process printer.
struct ScriptedLink {
    PortKind kind;
    PortSettings settings;
};
ScriptedLink PickLink(uint8_t selector, sim::InProcessPlatform& machine);

} // namespace kalo::fuzz
