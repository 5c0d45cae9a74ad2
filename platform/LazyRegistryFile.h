#pragma once

#include "RegistryFile.h"

#include <functional>
#include <optional>
#include <string>

namespace kalo::platform {

// A registry file looked for, read and parsed only when a value is first
// asked for: a run that preselects no printer never touches it.
class LazyRegistryFile final : public RegistrySource {
public:
    // locate gives the file's path ("" for none) on the first Find.
    explicit LazyRegistryFile(std::function<std::string()> locate);

    bool Find(const std::string& keyPath, const std::string& valueName, RegistryValue& value) const override;
    bool HasRead() const { return m_file.has_value(); }

private:
    std::function<std::string()> m_locate;
    mutable std::optional<RegistryFile> m_file;
};

} // namespace kalo::platform
