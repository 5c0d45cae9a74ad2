#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalo::platform {

// One value as the registry holds it: its type and its bytes. Text types also
// carry their text, decoded to UTF-8 without the terminator.
struct RegistryValue {
    enum Type : uint32_t {
        None = 0,
        String = 1,
        ExpandString = 2,
        Binary = 3,
        Dword = 4,
        DwordBigEndian = 5,
        Link = 6,
        MultiString = 7,
        Qword = 11,
    };
    uint32_t type = None;
    std::vector<uint8_t> data;
    std::string text;
};

// Somewhere values can be looked up: key paths are below the local-machine
// root ("SYSTEM\CurrentControlSet\..."), compared without regard to case, as
// are value names ("" is the key's default value).
class RegistrySource {
public:
    virtual ~RegistrySource() = default;
    virtual bool Find(const std::string& keyPath, const std::string& valueName, RegistryValue& value) const = 0;
};

} // namespace kalo::platform
