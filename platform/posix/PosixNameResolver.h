#pragma once

#include "../NameResolver.h"

namespace kalo::platform {

// getaddrinfo, numeric forms at once and names on threads of their own, so
// a name server that never answers costs the bound and no more.
class PosixNameResolver final : public NameResolver {
public:
    std::vector<HostAddresses> Resolve(const std::vector<std::string>& hosts, int64_t timeoutMicros) override;
};

} // namespace kalo::platform
