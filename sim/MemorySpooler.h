#pragma once

#include "platform/Spooler.h"

namespace kalo::sim {

// Queues kept in memory, for tests and fuzz targets: no print scheduler is touched.
// Every change is counted so a test can tell what was touched.
class MemorySpooler final : public platform::Spooler {
public:
    std::vector<platform::SpoolerQueue> queues;
    bool running = true;
    int changes = 0;

    bool ListQueues(std::vector<platform::SpoolerQueue>& out) override
    {
        out = running ? queues : std::vector<platform::SpoolerQueue>();
        return running;
    }
    bool GetDeviceUri(const std::string& queue, std::string& uri) override
    {
        for (const platform::SpoolerQueue& q : queues) {
            if (running && q.name == queue) {
                uri = q.deviceUri;
                return true;
            }
        }
        return false;
    }
    bool SetDeviceUri(const std::string& queue, const std::string& uri) override
    {
        for (platform::SpoolerQueue& q : queues) {
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
        for (const platform::SpoolerQueue& q : queues) {
            if (q.name == queue)
                return q.deviceUri;
        }
        return "";
    }
};

} // namespace kalo::sim
