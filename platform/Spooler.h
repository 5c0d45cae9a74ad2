#pragma once

#include <string>
#include <vector>

namespace kalo::platform {

struct SpoolerQueue {
    std::string name;
    std::string deviceUri;
    // The queue is sending a job to its device now.
    bool printing = false;
};

// The local print queues and the devices they print to. Every failure is
// reported as false and nothing else; callers stay silent about them.
class Spooler {
public:
    virtual ~Spooler() = default;
    virtual bool ListQueues(std::vector<SpoolerQueue>& queues) = 0;
    virtual bool GetDeviceUri(const std::string& queue, std::string& uri) = 0;
    virtual bool SetDeviceUri(const std::string& queue, const std::string& uri) = 0;
};

// A spooler with no queues, for machines without one.
class NoSpooler final : public Spooler {
public:
    bool ListQueues(std::vector<SpoolerQueue>& queues) override
    {
        queues.clear();
        return false;
    }
    bool GetDeviceUri(const std::string&, std::string&) override { return false; }
    bool SetDeviceUri(const std::string&, const std::string&) override { return false; }
};

} // namespace kalo::platform
