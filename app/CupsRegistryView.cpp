#include "CupsRegistryView.h"

#include "SpoolerQueues.h"

#include <cctype>

namespace kalo {

using platform::RegistryValue;

namespace {

const char kPrintersKey[] = "system\\currentcontrolset\\control\\print\\printers\\";
const char kPortsKey[] = "software\\microsoft\\windows nt\\currentversion\\ports";
const char kTcpPortsKey[] = "system\\currentcontrolset\\control\\print\\monitors\\standard tcp/ip port\\ports\\";

std::string Lower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

RegistryValue Text(const std::string& text)
{
    RegistryValue value;
    value.type = RegistryValue::String;
    value.text = text;
    value.data.assign(text.begin(), text.end());
    return value;
}

// The value of "name=" among a URI's options, joined by '+' or '&'.
std::string Option(const std::string& uri, const std::string& name)
{
    const size_t query = uri.find('?');
    if (query == std::string::npos)
        return "";
    size_t pos = query + 1;
    while (pos < uri.size()) {
        size_t end = uri.find_first_of("+&", pos);
        if (end == std::string::npos)
            end = uri.size();
        const std::string option = uri.substr(pos, end - pos);
        if (StartsWith(option, name + "="))
            return option.substr(name.size() + 1);
        pos = end + 1;
    }
    return "";
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

std::string CupsRegistryView::SerialSettingsText(const std::string& uri)
{
    const std::string baud = Option(uri, "baud");
    const std::string bits = Option(uri, "bits");
    const std::string parity = Option(uri, "parity");
    const std::string flow = Option(uri, "flow");
    const std::string stop = Option(uri, "stop");
    std::string text = (baud.empty() ? "9600" : baud) + ",";
    text += parity.empty() ? 'n' : char(std::tolower(static_cast<unsigned char>(parity[0])));
    text += "," + (bits.empty() ? std::string("8") : bits) + "," + (stop == "2" ? "2" : "1");
    if (flow == "soft")
        text += ",x";
    else if (flow == "hard" || flow == "rtscts")
        text += ",p";
    return text;
}

bool CupsRegistryView::Find(const std::string& keyPath, const std::string& valueName, RegistryValue& value) const
{
    std::string key = Lower(keyPath);
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    const std::string name = Lower(valueName);
    std::vector<platform::SpoolerQueue> queues;
    if (!m_spooler.ListQueues(queues))
        return false;

    if (StartsWith(key, kPrintersKey) && name == "port") {
        const std::string queueName = key.substr(sizeof kPrintersKey - 1);
        for (const auto& queue : queues) {
            if (Lower(queue.name) == queueName) {
                value = Text(PortTextOf(queue.deviceUri, m_ports));
                return true;
            }
        }
    } else if (key == kPortsKey) {
        for (const auto& queue : queues) {
            if (StartsWith(queue.deviceUri, "serial:") && Lower(PortTextOf(queue.deviceUri, m_ports)) == name) {
                value = Text(SerialSettingsText(queue.deviceUri));
                return true;
            }
        }
    } else if (StartsWith(key, kTcpPortsKey) && name == "portnumber") {
        const std::string portText = key.substr(sizeof kTcpPortsKey - 1);
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
