#pragma once

#include "platform/RegistryValue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalo {

// Reads values below the local-machine root. It asks its sources in order
// and takes the first that has the value; it never writes.
class CRegistryKey {
public:
    explicit CRegistryKey(std::vector<const platform::RegistrySource*> sources = {});

    // Text, expandable text (not expanded) and link values; false, with text
    // unchanged, for any other type or a missing key or value.
    bool ReadText(const std::string& keyPath, const std::string& valueName, std::string& text) const;
    // 32-bit numbers, the four bytes copied as stored (the big-endian variant
    // is not reordered); false, with number unchanged, otherwise.
    bool ReadNumber(const std::string& keyPath, const std::string& valueName, int32_t& number) const;

private:
    bool Find(const std::string& keyPath, const std::string& valueName, platform::RegistryValue& value) const;

    std::vector<const platform::RegistrySource*> m_sources;
};

// Where the registry file is: $KALO_REGISTRY, else ~/.config/kalo/registry.reg,
// else /etc/kalo/registry.reg; the first that exists, or "" when none does.
std::string RegistryFilePath();

} // namespace kalo
