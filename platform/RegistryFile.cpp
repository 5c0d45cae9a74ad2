#include "RegistryFile.h"

#include "Files.h"
#include "Text.h"

#include <cctype>

namespace kalo::platform {

namespace {

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote.
bool Quoted(const std::string& text, size_t& pos, std::string& out)
{
    if (pos >= text.size() || text[pos] != '"')
        return false;
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '\\' && pos + 1 < text.size()) {
            out += text[++pos];
        } else if (c == '"') {
            ++pos;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

bool HexBytes(const std::string& list, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    int digits = 0;
    unsigned value = 0;
    for (char c : list) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            if (++digits > 2)
                return false;
            value = value * 16 + unsigned(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10));
        } else if (c == ',') {
            if (digits == 0)
                return false;
            bytes.push_back(uint8_t(value));
            digits = 0;
            value = 0;
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    if (digits > 0)
        bytes.push_back(uint8_t(value));
    return true;
}

std::string TextOf(const std::vector<uint8_t>& data, bool unicode)
{
    std::string text = unicode ? Utf16LeToUtf8(data.data(), data.size())
                               : std::string(data.begin(), data.end());
    const size_t end = text.find('\0');
    return end == std::string::npos ? text : text.substr(0, end);
}

bool ParseValue(const std::string& valueText, bool unicode, RegistryValue& value)
{
    if (!valueText.empty() && valueText[0] == '"') {
        size_t pos = 0;
        value.type = RegistryValue::String;
        if (!Quoted(valueText, pos, value.text))
            return false;
        value.data.assign(value.text.begin(), value.text.end());
        return true;
    }
    const std::string lower = Lower(valueText);
    if (StartsWith(lower, "dword:")) {
        const std::string digits = valueText.substr(6);
        if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        const uint32_t n = uint32_t(std::stoul(digits, nullptr, 16));
        value.type = RegistryValue::Dword;
        value.data = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        return true;
    }
    if (!StartsWith(lower, "hex"))
        return false;
    size_t colon = lower.find(':');
    if (colon == std::string::npos)
        return false;
    value.type = RegistryValue::Binary;
    if (lower.size() > 3 && lower[3] == '(') {
        const size_t close = lower.find(')');
        if (close == std::string::npos || close > colon || close == 4)
            return false;
        const std::string typeDigits = lower.substr(4, close - 4);
        if (typeDigits.size() > 8 || typeDigits.find_first_not_of("0123456789abcdef") != std::string::npos)
            return false;
        value.type = uint32_t(std::stoul(typeDigits, nullptr, 16));
    } else if (colon != 3) {
        return false;
    }
    if (!HexBytes(valueText.substr(colon + 1), value.data))
        return false;
    if (value.type == RegistryValue::String || value.type == RegistryValue::ExpandString
        || value.type == RegistryValue::Link || value.type == RegistryValue::MultiString)
        value.text = TextOf(value.data, unicode);
    return true;
}

// The key path below the local-machine root, or false for any other root.
bool LocalMachinePath(const std::string& full, std::string& path)
{
    const size_t slash = full.find('\\');
    const std::string root = Lower(full.substr(0, slash));
    if (root != "hkey_local_machine" && root != "hklm")
        return false;
    path = slash == std::string::npos ? std::string() : Lower(full.substr(slash + 1));
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return true;
}

} // namespace

std::string Utf16LeToUtf8(const uint8_t* data, size_t length)
{
    std::string out;
    out.reserve(length / 2);
    for (size_t i = 0; i + 1 < length; i += 2) {
        uint32_t unit = uint32_t(data[i]) | uint32_t(data[i + 1]) << 8;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < length) {
            const uint32_t low = uint32_t(data[i + 2]) | uint32_t(data[i + 3]) << 8;
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, (unit >= 0xD800 && unit < 0xE000) ? 0xFFFD : unit);
    }
    return out;
}

RegistryFile RegistryFile::FromText(const std::string& bytes)
{
    RegistryFile file;
    file.m_loaded = true;
    const auto* raw = reinterpret_cast<const uint8_t*>(bytes.data());
    if (bytes.size() >= 2 && raw[0] == 0xFF && raw[1] == 0xFE) {
        file.Parse(Utf16LeToUtf8(raw + 2, bytes.size() - 2), true);
    } else if (bytes.size() >= 3 && raw[0] == 0xEF && raw[1] == 0xBB && raw[2] == 0xBF) {
        file.Parse(bytes.substr(3), true);
    } else {
        const bool regedit4 = bytes.rfind("REGEDIT4", 0) == 0;
        file.Parse(bytes, !regedit4);
    }
    return file;
}

RegistryFile RegistryFile::FromPath(const std::string& path)
{
    std::string bytes;
    RegistryFile refused;
    if (!ReadFile(path, kMaxBytes, bytes, refused.m_refusal))
        return refused;
    return FromText(bytes);
}

void RegistryFile::Parse(const std::string& text, bool unicodeFile)
{
    // One pass over the text: every line and every key is looked at a fixed
    // number of times, so a large export takes time in proportion to its size.
    size_t next = 0;
    auto getLine = [&text, &next](std::string& line) {
        if (next >= text.size())
            return false;
        size_t end = text.find('\n', next);
        if (end == std::string::npos)
            end = text.size();
        line.assign(text, next, end - next);
        next = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return true;
    };
    std::string line;
    std::string key;
    bool inLocalMachine = false;
    while (getLine(line)) {
        // Long binary values go on over several lines, each ending in a backslash.
        if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            std::string piece;
            while (!line.empty() && line.back() == '\\') {
                line.pop_back();
                if (!getLine(piece))
                    break;
                const size_t indent = piece.find_first_not_of(" \t");
                if (indent != std::string::npos)
                    line.append(piece, indent, std::string::npos);
            }
        }
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == ';')
            continue;
        line.erase(0, start);
        if (line[0] == '[') {
            const size_t close = line.rfind(']');
            if (close == std::string::npos)
                continue;
            std::string full = line.substr(1, close - 1);
            const bool remove = !full.empty() && full[0] == '-';
            if (remove)
                full.erase(0, 1);
            inLocalMachine = LocalMachinePath(full, key);
            if (inLocalMachine && remove) {
                // The key and everything below it; the keys below sit together
                // in the sorted map, from "key\" on.
                m_keys.erase(key);
                const std::string below = key + "\\";
                auto it = m_keys.lower_bound(below);
                while (it != m_keys.end() && StartsWith(it->first, below))
                    it = m_keys.erase(it);
                inLocalMachine = false;
            } else if (inLocalMachine) {
                m_keys[key];
            }
            continue;
        }
        if (!inLocalMachine)
            continue;
        std::string name;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!Quoted(line, pos, name)) {
            continue;
        }
        if (pos >= line.size() || line[pos] != '=')
            continue;
        const std::string valueText = line.substr(pos + 1);
        auto& values = m_keys[key];
        if (valueText == "-") {
            values.erase(Lower(name));
            continue;
        }
        RegistryValue value;
        if (ParseValue(valueText, unicodeFile, value))
            values[Lower(name)] = std::move(value);
    }
}

bool RegistryFile::Find(const std::string& keyPath, const std::string& valueName, RegistryValue& value) const
{
    std::string path = Lower(keyPath);
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    const auto key = m_keys.find(path);
    if (key == m_keys.end())
        return false;
    const auto found = key->second.find(Lower(valueName));
    if (found == key->second.end())
        return false;
    value = found->second;
    return true;
}

} // namespace kalo::platform
