#include "LineSettings.h"

#include "ConnectionForm.h"

#include <charconv>

namespace kalo {

bool LineSettingValues::Read(const std::string& text, uint32_t& value) const
{
    if (!numbers) {
        for (size_t i = 0; i < spellings.size(); ++i) {
            if (spellings[i] == text) {
                value = uint32_t(i);
                return true;
            }
        }
        return false;
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    for (const std::string& spelling : spellings) {
        if (spelling == std::to_string(number)) {
            value = uint32_t(number);
            return true;
        }
    }
    return false;
}

std::string LineSettingValues::Spell(uint32_t value) const
{
    if (numbers)
        return std::to_string(value);
    return value < spellings.size() ? spellings[value] : std::string();
}

std::string LineSettingValues::Describe() const
{
    std::string described;
    for (const std::string& spelling : spellings)
        described += (described.empty() ? "" : ", ") + spelling;
    return described;
}

const LineSettingValues& BaudRateValues()
{
    static const LineSettingValues values{ConnectionForm::kBaudRates, true};
    return values;
}

const LineSettingValues& DataBitsValues()
{
    static const LineSettingValues values{{"7", "8"}, true};
    return values;
}

const LineSettingValues& ParityValues()
{
    static const LineSettingValues values{{"none", "odd", "even", "mark", "space"}, false};
    return values;
}

const LineSettingValues& StopBitsValues()
{
    static const LineSettingValues values{{"1", "1.5", "2"}, false};
    return values;
}

const LineSettingValues& FlowValues()
{
    static const LineSettingValues values{{"hardware", "xonxoff", "none"}, false};
    return values;
}

} // namespace kalo
