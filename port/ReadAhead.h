#pragma once

#include "ReplyShape.h"
#include "platform/Clock.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace kalo {

// The bytes a wait under the reply pace has read ahead of its step's own
// reads. They are the step's, in the order they came: the reads take them
// first, none is lost or read twice, and what the step leaves is dropped
// with the next command (the port discards it), so no reply is read
// shifted by what came before its command.
class ReadAhead {
public:
    // Far beyond any reply; a device that fills it is babbling.
    static constexpr size_t kCapacity = 1024;

    // Gives what arrives: the count read within waitMicros (0 when nothing
    // came), or below 0 when the link failed.
    using Source = std::function<int(uint8_t* buffer, uint32_t length, int64_t waitMicros)>;

    struct Outcome {
        int64_t micros = 0; // how long the wait took
        bool whole = false; // the reply was whole and the line settled after it
    };

    // Reads ahead until the shape is whole in what has been read and then
    // settleMicros pass with nothing new; a failed link, an interruption or
    // boundMicros end it sooner. A wait whose reply an earlier settled wait
    // already read whole returns at once. keep false drops what comes (a drain,
    // which always waits for its quiet).
    Outcome Await(platform::Clock& clock, int64_t boundMicros, const ReplyShape& shape, int64_t settleMicros,
                  const Source& source, bool keep = true);

    // Moves up to length bytes read ahead into buffer; the count moved.
    uint32_t Take(uint8_t* buffer, uint32_t length);
    void Discard();
    // Bytes went out or came since the last settled wait: it no longer tells
    // whether the line is quiet.
    void Unsettle() { m_settled = false; }
    size_t Size() const { return m_end - m_begin; }
    // The last wait's reply came whole and the line went quiet after it.
    bool Settled() const { return m_settled; }

private:
    std::span<const uint8_t> Held() const { return {m_bytes.data() + m_begin, m_end - m_begin}; }

    std::array<uint8_t, kCapacity> m_bytes{};
    size_t m_begin = 0;
    size_t m_end = 0;
    bool m_settled = false;
};

} // namespace kalo
