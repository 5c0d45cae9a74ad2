#include "CupsRegistryView.h"

#include "RegistryKeyPaths.h"
#include "SerialSettingsText.h"
#include "SpoolerQueues.h"
#include "platform/Text.h"

namespace kalo {

using platform::Lower;
using platform::RegistryValue;
using platform::StartsWith;

namespace {

RegistryValue Text(const std::string& text)
{
    RegistryValue value;
    value.type = RegistryValue::String;
    value.text = text;
    value.data.assign(text.begin(), text.end());
    return value;
}

std::string PortOf(const std::string& uri)
{
    const size_t hostStart = uri.find("//");
    if (hostStart == std::string::npos)
        return "";
    const size_t colon = uri.find(':', hostStart + 2);
    const size_t slash = uri.find_first_of("/?", hostStart + 2);
    if (colon == std::string::npos || (slash != std::string::npos && colon > slash))
        return "";
    return uri.substr(colon + 1, (slash == std::string::npos ? uri.size() : slash) - colon - 1);
}

} // namespace

CupsRegistryView::CupsRegistryView(platform::Spooler& spooler, const platform::PortMap& ports)
    : m_spooler(spooler)
    , m_ports(ports)
{
}

bool CupsRegistryView::Find(const std::string& keyPath, const std::string& valueName, RegistryValue& value) const
{
    static const std::string printersKey = Lower(kPrintersKey);
    static const std::string portsKey = Lower(kPortsKey);
    static const std::string tcpPortsKey = Lower(kTcpPortsKey);
    std::string key = Lower(keyPath);
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    const std::string name = Lower(valueName);
    std::vector<platform::SpoolerQueue> queues;
    if (!m_spooler.ListQueues(queues))
        return false;

    if (StartsWith(key, printersKey) && name == "port") {
        const std::string queueName = key.substr(printersKey.size());
        for (const auto& queue : queues) {
            if (Lower(queue.name) == queueName) {
                value = Text(PortTextOf(queue.deviceUri, m_ports));
                return true;
            }
        }
    } else if (key == portsKey) {
        for (const auto& queue : queues) {
            if (StartsWith(queue.deviceUri, "serial:") && Lower(PortTextOf(queue.deviceUri, m_ports)) == name) {
                value = Text(SerialSettingsTextOf(queue.deviceUri));
                return true;
            }
        }
    } else if (StartsWith(key, tcpPortsKey) && name == "portnumber") {
        const std::string portText = key.substr(tcpPortsKey.size());
        for (const auto& queue : queues) {
            if (StartsWith(queue.deviceUri, "socket:") && Lower(PortTextOf(queue.deviceUri, m_ports)) == portText) {
                const std::string digits = PortOf(queue.deviceUri);
                uint32_t port = 9100;
                if (!digits.empty() && digits.size() < 6 && digits.find_first_not_of("0123456789") == std::string::npos)
                    port = uint32_t(std::stoul(digits));
                value.type = RegistryValue::Dword;
                value.data = {uint8_t(port), uint8_t(port >> 8), uint8_t(port >> 16), uint8_t(port >> 24)};
                return true;
            }
        }
    }
    return false;
}

} // namespace kalo
