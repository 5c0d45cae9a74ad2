#include "LazyRegistryFile.h"

namespace kalo::platform {

LazyRegistryFile::LazyRegistryFile(std::function<std::string()> locate)
    : m_locate(std::move(locate))
{
}

bool LazyRegistryFile::Find(const std::string& keyPath, const std::string& valueName, RegistryValue& value) const
{
    if (!m_file) {
        const std::string path = m_locate ? m_locate() : std::string();
        m_file = path.empty() ? RegistryFile() : RegistryFile::FromPath(path);
    }
    return m_file->Find(keyPath, valueName, value);
}

} // namespace kalo::platform
