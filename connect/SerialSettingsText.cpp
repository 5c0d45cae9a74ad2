#include "SerialSettingsText.h"

#include "platform/Text.h"

#include <cctype>

namespace kalo {

namespace {

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
        if (platform::StartsWith(option, name + "="))
            return option.substr(name.size() + 1);
        pos = end + 1;
    }
    return "";
}

} // namespace

SerialSettings ReadSerialSettingsText(const std::string& settings)
{
    SerialSettings read;
    const size_t comma = settings.find(',');
    // The leading decimal number of the baud field, as atoi reads it.
    const std::string baud = comma == std::string::npos ? std::string() : settings.substr(0, comma);
    read.baudRate = platform::LeadingDecimal(baud);
    const std::string r = comma == std::string::npos ? settings : settings.substr(comma + 1);
    // r[i] for i == size() reads as the end of r ('\0'); further on, the test is not made.
    auto at = [&r](size_t i) { return r[i]; };
    if (!r.empty()) {
        switch (at(0)) {
        case 'n': read.parity = 0; break;
        case 'o': read.parity = 1; break;
        case 'e': read.parity = 2; break;
        case 'm': read.parity = 3; break;
        case 's': read.parity = 4; break;
        default: break;
        }
    }
    if (r.size() > 2 && std::isdigit(static_cast<unsigned char>(at(2))))
        read.dataBits = at(2) - '0';
    if (r.size() > 4) {
        if (at(4) == '1' && (at(5) == ',' || at(5) == '\0'))
            read.stopBits = 0;
        else if (at(4) == '1' && at(5) == '.')
            read.stopBits = 1;
        else if (at(4) == '2')
            read.stopBits = 2;
    }
    if (r.size() >= 5) {
        const char flowAt = r.size() > 5 ? at(5) : '\0';
        if (flowAt == ',') {
            if (r.size() > 6 && at(6) == 'x')
                read.flowControl = 1;
            else if (r.size() > 6 && at(6) == 'p')
                read.flowControl = 0;
        } else if (flowAt == '.') {
            if (r.size() > 8 && at(8) == 'x')
                read.flowControl = 1;
            else if (r.size() > 8 && at(8) == 'p')
                read.flowControl = 0;
        } else {
            read.flowControl = 2;
        }
    }
    return read;
}

std::string SerialSettingsTextOf(const std::string& uri)
{
    const std::string baud = Option(uri, "baud");
    const std::string bits = Option(uri, "bits");
    const std::string parity = Option(uri, "parity");
    const std::string flow = Option(uri, "flow");
    const std::string stop = Option(uri, "stop");
    std::string text = (baud.empty() ? "9600" : baud) + ",";
    text += parity.empty() ? 'n' : platform::LowerChar(parity[0]);
    text += "," + (bits.empty() ? std::string("8") : bits) + "," + (stop == "2" ? "2" : "1");
    if (flow == "soft")
        text += ",x";
    else if (flow == "hard" || flow == "rtscts")
        text += ",p";
    return text;
}

} // namespace kalo
