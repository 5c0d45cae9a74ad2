#include "CRegistryKey.h"

#include "platform/Files.h"

#include <cstdlib>
#include <cstring>

namespace kalo {

using platform::RegistryValue;

CRegistryKey::CRegistryKey(std::vector<const platform::RegistrySource*> sources)
    : m_sources(std::move(sources))
{
}

bool CRegistryKey::Find(const std::string& keyPath, const std::string& valueName, RegistryValue& value) const
{
    for (const platform::RegistrySource* source : m_sources) {
        if (source && source->Find(keyPath, valueName, value))
            return true;
    }
    return false;
}

bool CRegistryKey::ReadText(const std::string& keyPath, const std::string& valueName, std::string& text) const
{
    RegistryValue value;
    if (!Find(keyPath, valueName, value))
        return false;
    if (value.type != RegistryValue::String && value.type != RegistryValue::ExpandString
        && value.type != RegistryValue::Link)
        return false;
    text = value.text;
    return true;
}

bool CRegistryKey::ReadNumber(const std::string& keyPath, const std::string& valueName, int32_t& number) const
{
    RegistryValue value;
    if (!Find(keyPath, valueName, value))
        return false;
    if ((value.type != RegistryValue::Dword && value.type != RegistryValue::DwordBigEndian) || value.data.size() != 4)
        return false;
    std::memcpy(&number, value.data.data(), 4);
    return true;
}

std::string RegistryFilePath()
{
    std::vector<std::string> candidates;
    if (const char* chosen = std::getenv("KALO_REGISTRY"); chosen && *chosen)
        candidates.push_back(chosen);
    if (const char* home = std::getenv("HOME"); home && *home)
        candidates.push_back(std::string(home) + "/.config/kalo/registry.reg");
    candidates.push_back("/etc/kalo/registry.reg");
    for (const std::string& path : candidates) {
        if (platform::IsReadable(path))
            return path;
    }
    return "";
}

} // namespace kalo
