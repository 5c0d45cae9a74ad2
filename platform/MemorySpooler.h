#pragma once

#include "Spooler.h"

namespace kalo::platform {

// Queues kept in memory, for tests and for running without a scheduler.
// Every change is counted so a test can tell what was touched.
class MemorySpooler final : public Spooler {
public:
    std::vector<SpoolerQueue> queues;
    bool running = true;
    int changes = 0;

    bool ListQueues(std::vector<SpoolerQueue>& out) override
    {
        out = running ? queues : std::vector<SpoolerQueue>();
        return running;
    }
    bool GetDeviceUri(const std::string& queue, std::string& uri) override
    {
        for (const SpoolerQueue& q : queues) {
            if (running && q.name == queue) {
                uri = q.deviceUri;
                return true;
            }
        }
        return false;
    }
    bool SetDeviceUri(const std::string& queue, const std::string& uri) override
    {
        for (SpoolerQueue& q : queues) {
            if (running && q.name == queue) {
                q.deviceUri = uri;
                ++changes;
                return true;
            }
        }
        return false;
    }
    std::string UriOf(const std::string& queue) const
    {
        for (const SpoolerQueue& q : queues) {
            if (q.name == queue)
                return q.deviceUri;
        }
        return "";
    }
};

} // namespace kalo::platform
