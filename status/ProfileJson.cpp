#include "ProfileJson.h"

#include "PrinterSettingForm.h"
#include "StatusFile.h"
#include "platform/Files.h"
#include "platform/Text.h"

#include <nlohmann/json.hpp>

#include <set>
#include <vector>

namespace kalo {

namespace {

using Json = nlohmann::ordered_json;

// A key as a JSON pointer writes it.
std::string PathPart(const std::string& key)
{
    std::string part = "/";
    for (const char c : key)
        part += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
    return part;
}

// Containers inside one another (the document itself is the first); a
// profile needs three, and a deeper one is refused while it is parsed, before
// anything walks it recursively.
constexpr size_t kMaxNesting = 8;

// A content error found while parsing.
struct Refusal {
    std::string path;
    std::string reason;
};

// Follows the parser through the document, so that a duplicate key and a
// nesting too deep are refused at their JSON path as they are met.
class PathTracker {
public:
    bool operator()(int, Json::parse_event_t event, Json& parsed)
    {
        using Event = Json::parse_event_t;
        switch (event) {
        case Event::object_start:
        case Event::array_start:
            NextElement();
            if (m_levels.size() >= kMaxNesting)
                throw Refusal{Path(), "nested more than " + std::to_string(kMaxNesting)
                                          + " levels deep; a profile needs four"};
            m_levels.push_back({event == Event::array_start, 0, {}, {}});
            break;
        case Event::key: {
            Level& object = m_levels.back();
            object.key = parsed.get<std::string>();
            if (!object.keys.insert(object.key).second)
                throw Refusal{Path(), "given twice; a key may appear once in its object"};
            break;
        }
        case Event::value:
            NextElement();
            break;
        case Event::object_end:
        case Event::array_end:
            m_levels.pop_back();
            break;
        }
        return true;
    }

private:
    struct Level {
        bool array;
        size_t elements;
        std::string key;
        std::set<std::string> keys;
    };

    void NextElement()
    {
        if (!m_levels.empty() && m_levels.back().array)
            ++m_levels.back().elements;
    }

    std::string Path() const
    {
        std::string path;
        for (const Level& level : m_levels)
            path += level.array ? "/" + std::to_string(level.elements - 1) : PathPart(level.key);
        return path;
    }

    std::vector<Level> m_levels;
};

// Reads one document, stopping at the first content error.
class Reader {
public:
    explicit Reader(Profile& profile) : m_profile(profile) {}

    bool Read(const Json& root)
    {
        if (!root.is_object())
            return Fail("", "a profile is a JSON object");
        if (!root.contains("format"))
            return Fail("/format", std::string("missing; a profile begins with \"format\": \"") + ProfileJson::kFormat + "\"");
        for (const auto& [key, value] : root.items()) {
            const std::string path = PathPart(key);
            bool read = true;
            if (key == "format")
                read = value == ProfileJson::kFormat || Fail(path, std::string("takes \"") + ProfileJson::kFormat + "\", not " + Shown(value));
            else if (key == "switches")
                read = Switches(path, value);
            else if (key == "powerSave")
                read = PowerSave(path, value);
            else if (key == "entranceTime")
                read = EntranceTime(path, value);
            else if (key == "settings")
                read = Settings(path, value);
            else if (key == "model")
                read = Text(path, value, m_profile.model);
            else if (key == "firmware")
                read = Text(path, value, m_profile.firmware);
            else if (key == "language")
                read = Text(path, value, m_profile.language);
            else if (key == "comment")
                read = Text(path, value, m_profile.comment);
            else
                read = Fail(path, "unknown key");
            if (!read)
                return false;
        }
        return true;
    }

    std::string error;

private:
    static std::string Shown(const Json& value)
    {
        std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
        return text.size() > 40 ? text.substr(0, 37) + "..." : text;
    }

    bool Fail(const std::string& path, const std::string& reason)
    {
        error = (path.empty() ? "/" : path) + ": " + reason;
        return false;
    }

    bool Switches(const std::string& path, const Json& value)
    {
        if (!value.is_object())
            return Fail(path, "takes an object of memory switches");
        for (const auto& [number, pins] : value.items()) {
            const std::string switchPath = path + PathPart(number);
            int slot = -1;
            for (int s = 0; s < 8; ++s) {
                if (number == std::to_string(kSwitchNumbers[s]))
                    slot = s;
            }
            if (slot < 0)
                return Fail(switchPath, "not a memory switch (1-6, 11, 12)");
            if (!pins.is_object())
                return Fail(switchPath, "takes an object of pins");
            for (const auto& [pin, state] : pins.items()) {
                const std::string pinPath = switchPath + PathPart(pin);
                if (pin.size() != 1 || pin[0] < '1' || pin[0] > '8')
                    return Fail(pinPath, "not a pin (1-8)");
                int32_t& kept = m_profile.switches.switchPins[slot][pin[0] - '0'];
                if (state == "on")
                    kept = PinOn;
                else if (state == "off")
                    kept = PinOff;
                else if (state == "keep")
                    kept = PinNoChange;
                else
                    return Fail(pinPath, "takes \"on\", \"off\" or \"keep\", not " + Shown(state));
            }
        }
        return true;
    }

    bool PowerSave(const std::string& path, const Json& value)
    {
        if (value.is_boolean())
            m_profile.powerSave = value.get<bool>();
        else if (value != "keep")
            return Fail(path, "takes true, false or \"keep\", not " + Shown(value));
        return true;
    }

    bool EntranceTime(const std::string& path, const Json& value)
    {
        if (value == "keep")
            return true;
        if (!value.is_number_integer() || value.get<int64_t>() < PrinterSettingForm::kEntranceTimeMin
            || value.get<int64_t>() > PrinterSettingForm::kEntranceTimeMax)
            return Fail(path, std::string(PrinterSettingForm::kEntranceTimeRange) + " (or \"keep\"), not " + Shown(value));
        m_profile.entranceTime = int(value.get<int64_t>());
        return true;
    }

    bool Settings(const std::string& path, const Json& value)
    {
        if (!value.is_object())
            return Fail(path, "takes an object of settings");
        for (const auto& [key, text] : value.items()) {
            const std::string settingPath = path + PathPart(key);
            const ProfileSetting* found = nullptr;
            for (const ProfileSetting& setting : kProfileSettings) {
                if (key == SettingKey(setting))
                    found = &setting;
            }
            if (!found)
                return Fail(settingPath, "unknown setting (code-page, double-byte-font, emulation, print-speed, "
                                         "single-byte-font)");
            const auto& list = SettingList(*found);
            int position = -1;
            for (size_t i = 0; text.is_string() && i < list.size(); ++i) {
                if (text.get<std::string>() == list[i])
                    position = int(i);
            }
            if (position < 0)
                return Fail(settingPath, "not in its list: " + Shown(text));
            m_profile.settings[int(*found)] = position;
        }
        // The page disables its code-page list while a double-byte font is chosen.
        const auto& font = m_profile.settings[int(ProfileSetting::DoubleByteFont)];
        const auto& page = m_profile.settings[int(ProfileSetting::CodePage)];
        if (font && *font >= 2 && page && *page != 0)
            return Fail(path + "/code-page", "no code page goes with the double-byte font \""
                                                 + PrinterSettingForm::kDoubleByteFonts[size_t(*font)] + "\"");
        return true;
    }

    bool Text(const std::string& path, const Json& value, std::string& text)
    {
        if (!value.is_string())
            return Fail(path, "takes a text, not " + Shown(value));
        text = value.get<std::string>();
        return true;
    }

    Profile& m_profile;
};

// "line 3, column 7: " of a byte position counted from 1.
std::string Position(const std::string& text, size_t byte)
{
    size_t line = 1, column = 1;
    for (size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
}

} // namespace

bool ProfileJson::Parse(const std::string& text, Profile& profile, std::string& error)
{
    Json root;
    try {
        root = Json::parse(text, PathTracker());
    } catch (const Refusal& refusal) {
        error = refusal.path + ": " + refusal.reason;
        return false;
    } catch (const Json::parse_error& e) {
        // What follows nlohmann's own position is the reason.
        const std::string what = e.what();
        const size_t colon = what.find(": ", what.find("parse error"));
        error = Position(text, e.byte) + (colon == std::string::npos ? what : what.substr(colon + 2));
        return false;
    } catch (const Json::exception& e) {
        // A number too big for any type: the reason quotes it, so it is found where it stands.
        std::string what = e.what();
        what = what.substr(what.find("] ") == std::string::npos ? 0 : what.find("] ") + 2);
        const size_t open = what.find('\''), close = what.rfind('\'');
        const size_t at = open < close ? text.find(what.substr(open + 1, close - open - 1)) : std::string::npos;
        error = (at == std::string::npos ? std::string() : Position(text, at + 1)) + what;
        return false;
    }
    Profile read;
    Reader reader(read);
    if (!reader.Read(root)) {
        error = reader.error;
        return false;
    }
    profile = std::move(read);
    return true;
}

std::string ProfileJson::Text(const Profile& profile)
{
    Json root;
    root["format"] = kFormat;
    Json switches = Json::object();
    for (int slot = 0; slot < 8; ++slot) {
        Json pins = Json::object();
        for (int pin = 1; pin <= 8; ++pin) {
            const int32_t state = profile.switches.switchPins[slot][pin];
            if (state == PinOn || state == PinOff)
                pins[std::to_string(pin)] = state == PinOn ? "on" : "off";
        }
        if (!pins.empty())
            switches[std::to_string(kSwitchNumbers[slot])] = pins;
    }
    root["switches"] = switches;
    root["powerSave"] = profile.powerSave ? Json(*profile.powerSave) : Json("keep");
    root["entranceTime"] = profile.entranceTime ? Json(*profile.entranceTime) : Json("keep");
    Json settings = Json::object();
    for (const ProfileSetting setting : kProfileSettings) {
        if (const auto& position = profile.settings[int(setting)])
            settings[SettingKey(setting)] = SettingList(setting)[size_t(*position)];
    }
    root["settings"] = settings;
    for (const auto& [key, value] : {std::pair{"model", &profile.model}, std::pair{"firmware", &profile.firmware},
                                     std::pair{"language", &profile.language}, std::pair{"comment", &profile.comment}}) {
        if (!value->empty())
            root[key] = *value;
    }
    // Text a printer sent may not be UTF-8: it is written, never refused.
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool ProfileJson::Load(const std::string& path, Profile& profile, std::string& error)
{
    if (StatusFile::HasStatusExtension(path)) {
        StatusRecord record;
        if (!StatusFile::Load(path, record, error))
            return false;
        profile = StatusFileProfile(record);
        return true;
    }
    std::string text;
    if (!platform::ReadFile(path, kMaxBytes, text, error))
        return false;
    if (!Parse(text, profile, error)) {
        error = path + ": " + platform::Printable(error);
        return false;
    }
    return true;
}

bool ProfileJson::Save(const std::string& path, const Profile& profile, std::string& error)
{
    const std::string text = Text(profile);
    return platform::SaveFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error);
}

} // namespace kalo
