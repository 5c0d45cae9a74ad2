#pragma once

#include "MessageSink.h"
#include "RegistryFile.h"

#include <functional>
#include <optional>
#include <string>

namespace kalo::platform {

// A registry file looked for, read and parsed only when a value is first
// asked for: a run that preselects no printer never touches it.
class LazyRegistryFile final : public RegistrySource {
public:
    // locate gives the file's path ("" for none) on the first Find; a file
    // found but refused is told to messages, when given, as a warning.
    explicit LazyRegistryFile(std::function<std::string()> locate, MessageSink* messages = nullptr);

    bool Find(const std::string& keyPath, const std::string& valueName, RegistryValue& value) const override;
    bool HasRead() const { return m_file.has_value(); }

private:
    std::function<std::string()> m_locate;
    MessageSink* m_messages;
    mutable std::optional<RegistryFile> m_file;
};

} // namespace kalo::platform
