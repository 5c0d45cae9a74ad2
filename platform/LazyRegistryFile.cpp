#include "LazyRegistryFile.h"

namespace kalo::platform {

LazyRegistryFile::LazyRegistryFile(std::function<std::string()> locate, MessageSink* messages)
    : m_locate(std::move(locate))
    , m_messages(messages)
{
}

bool LazyRegistryFile::Find(const std::string& keyPath, const std::string& valueName, RegistryValue& value) const
{
    if (!m_file) {
        const std::string path = m_locate ? m_locate() : std::string();
        m_file = path.empty() ? RegistryFile() : RegistryFile::FromPath(path);
        if (m_messages && !m_file->Refusal().empty())
            m_messages->Show(m_file->Refusal() + "; no printer settings are taken from it.", "Warning",
                             MessageIcon::Warning);
    }
    return m_file->Find(keyPath, valueName, value);
}

} // namespace kalo::platform
