#include "PosixNameResolver.h"

#include "../Deadline.h"
#include "../Interruption.h"
#include "../SystemClock.h"
#include "Wakeup.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace kalo::platform {

namespace {

// Names asked at a time; each lookup holds a socket while it waits.
constexpr size_t kMaxLookups = 16;

// One getaddrinfo; numericOnly asks no one. status is getaddrinfo's.
HostAddresses Lookup(const std::string& host, bool numericOnly, int& status)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
    addrinfo* found = nullptr;
    HostAddresses result;
    status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (status != 0) {
        result.error = status == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(status);
        return result;
    }
    for (const addrinfo* at = found; at; at = at->ai_next) {
        char text[NI_MAXHOST];
        if (::getnameinfo(at->ai_addr, at->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0
            && std::find(result.addresses.begin(), result.addresses.end(), text) == result.addresses.end())
            result.addresses.emplace_back(text);
    }
    ::freeaddrinfo(found);
    return result;
}

// The names to ask, shared with the threads that ask them: a thread whose
// name server has not answered by the bound keeps this alive until it
// returns, long after Resolve has.
struct Lookups {
    ~Lookups()
    {
        for (const int fd : done) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    std::mutex mutex;
    std::vector<std::string> names; // not changed once the threads run
    std::vector<HostAddresses> results;
    std::vector<bool> answered;
    size_t next = 0;
    size_t answers = 0;
    bool abandoned = false;
    int done[2] = {-1, -1}; // a byte for each answer
};

void Ask(const std::shared_ptr<Lookups>& lookups)
{
    for (;;) {
        size_t index = 0;
        {
            const std::lock_guard<std::mutex> lock(lookups->mutex);
            if (lookups->abandoned || lookups->next == lookups->names.size())
                return;
            index = lookups->next++;
        }
        int status = 0;
        HostAddresses found = Lookup(lookups->names[index], false, status);
        {
            const std::lock_guard<std::mutex> lock(lookups->mutex);
            lookups->results[index] = std::move(found);
            lookups->answered[index] = true;
            ++lookups->answers;
        }
        // Non-blocking: a byte already waiting wakes the reader as well.
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(lookups->done[1], &byte, 1);
    }
}

} // namespace

std::vector<HostAddresses> PosixNameResolver::Resolve(const std::vector<std::string>& hosts, int64_t timeoutMicros)
{
    std::vector<HostAddresses> results(hosts.size());
    const auto lookups = std::make_shared<Lookups>();
    std::vector<size_t> asked; // the index in hosts of each name
    for (size_t i = 0; i < hosts.size(); ++i) {
        int status = 0;
        results[i] = Lookup(hosts[i], true, status);
        if (status == EAI_NONAME) {
            lookups->names.push_back(hosts[i]);
            asked.push_back(i);
        }
    }
    if (asked.empty())
        return results;
    lookups->results.resize(asked.size());
    lookups->answered.assign(asked.size(), false);
    std::string failed;
    if (::pipe2(lookups->done, O_CLOEXEC | O_NONBLOCK) != 0)
        failed = std::string("pipe: ") + std::strerror(errno);
    for (size_t started = 0; failed.empty() && started < std::min(kMaxLookups, asked.size()); ++started) {
        try {
            std::thread(Ask, lookups).detach();
        } catch (const std::system_error& error) {
            // The threads already started ask every name.
            if (started == 0)
                failed = std::string("cannot start a lookup: ") + error.what();
            break;
        }
    }
    const Deadline deadline(SystemClock::Instance(), timeoutMicros);
    for (;;) {
        {
            const std::lock_guard<std::mutex> lock(lookups->mutex);
            if (lookups->answers == asked.size())
                break;
        }
        const int64_t left = deadline.Remaining();
        if (!failed.empty() || left <= 0 || Interrupted())
            break;
        pollfd polled[2] = {{lookups->done[0], POLLIN, 0}, {WakeupFd(), POLLIN, 0}};
        const timespec timeout{time_t(left / 1000000), long(left % 1000000) * 1000};
        ::ppoll(polled, polled[1].fd >= 0 ? 2 : 1, &timeout, nullptr);
        char drained[64];
        while (::read(lookups->done[0], drained, sizeof drained) > 0) {
        }
    }
    if (failed.empty())
        failed = Interrupted() ? "interrupted" : "no answer within " + std::to_string(timeoutMicros / 1000000) + " s";
    const std::lock_guard<std::mutex> lock(lookups->mutex);
    lookups->abandoned = true;
    for (size_t k = 0; k < asked.size(); ++k)
        results[asked[k]] = lookups->answered[k] ? std::move(lookups->results[k]) : HostAddresses{{}, failed};
    return results;
}

} // namespace kalo::platform
