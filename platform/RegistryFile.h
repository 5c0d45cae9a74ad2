#pragma once

#include "RegistryValue.h"

#include <map>
#include <string>

namespace kalo::platform {

// The values of a registry export file (.reg, "Windows Registry Editor
// Version 5.00" in UTF-16LE or UTF-8, or "REGEDIT4"), local-machine keys only.
// Whatever cannot be understood in it is skipped.
class RegistryFile final : public RegistrySource {
public:
    // Larger files are refused unread.
    static constexpr size_t kMaxBytes = 16 * 1024 * 1024;

    static RegistryFile FromText(const std::string& bytes);
    // An absent or unreadable file, anything but a regular file (a FIFO is
    // never waited on), or one over kMaxBytes gives an empty registry;
    // Loaded() tells, Refusal() says why.
    static RegistryFile FromPath(const std::string& path);

    bool Find(const std::string& keyPath, const std::string& valueName, RegistryValue& value) const override;
    bool Loaded() const { return m_loaded; }
    const std::string& Refusal() const { return m_refusal; }
    size_t KeyCount() const { return m_keys.size(); }

private:
    void Parse(const std::string& utf8, bool unicodeFile);

    bool m_loaded = false;
    std::string m_refusal;
    // lower-case key path -> lower-case value name -> value
    std::map<std::string, std::map<std::string, RegistryValue>> m_keys;
};

// Converts UTF-16LE code units to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(const uint8_t* data, size_t length);

} // namespace kalo::platform
