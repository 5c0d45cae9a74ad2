#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalo::platform {

// What one host name stands for: its addresses as text ("127.0.0.1",
// "::1"), each once, or why it stands for none.
struct HostAddresses {
    std::vector<std::string> addresses;
    std::string error;
};

// Host names to the addresses they stand for, as a connection would find
// them. Numeric forms are read as the system reads them ("127.1",
// "2130706433" and "0x7f.0.0.1" are 127.0.0.1) without asking anyone.
class NameResolver {
public:
    virtual ~NameResolver() = default;
    // One entry per host, in order. Waits at most timeoutMicros for all of
    // them together and returns early on an interruption; a name still
    // unanswered then says so in its error.
    virtual std::vector<HostAddresses> Resolve(const std::vector<std::string>& hosts, int64_t timeoutMicros) = 0;
};

} // namespace kalo::platform
