#pragma once

#include "../OutputBuffer.h"

#include <vector>

namespace kalo::platform {

// The OutputBuffer over a descriptor of the system.
class DescriptorBuffer final : public OutputBuffer {
public:
    // owned: closed with the buffer. patienceMs as StandardOutputBuffer takes it.
    DescriptorBuffer(int fd, bool owned, uint32_t patienceMs);
    ~DescriptorBuffer() override;
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

    const std::string& Failure() const override { return m_failure; }
    bool ReaderGone() const override { return m_readerGone; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize length) override;
    int sync() override;

private:
    bool Drain();
    bool Put(const char* data, size_t length);
    bool WaitForRoom();
    bool Fail(const std::string& reason);

    const int m_fd;
    const bool m_owned;
    const uint32_t m_patienceMs;
    size_t m_chunk; // the most one write(2) is given, so a pipe's write never waits for a reader
    std::vector<char> m_pending;
    std::string m_failure;
    bool m_readerGone = false;
};

} // namespace kalo::platform
