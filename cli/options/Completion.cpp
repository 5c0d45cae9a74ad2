#include "Completion.h"

#include "platform/Text.h"

#include <cstdio>

namespace kalo::cli {

namespace {

// The word as the shell will read it so far: a quote that opens it taken off,
// a backslash-escaped character unescaped.
std::string Unquoted(const std::string& word)
{
    if (!word.empty() && (word[0] == '\'' || word[0] == '"'))
        return word.substr(1);
    std::string text;
    for (size_t i = 0; i < word.size(); ++i)
        text += word[i] == '\\' && i + 1 < word.size() ? word[++i] : word[i];
    return text;
}

} // namespace

std::string ShellQuoted(const std::string& text)
{
    const bool plain = !text.empty()
        && text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-+=.,:/@%")
            == std::string::npos;
    if (plain)
        return text;
    // Text a device gave (a USB serial number) may hold control bytes: bash's
    // $'...' spells each as \xNN, so none reaches the terminal and the shell
    // still reads the device's own bytes back.
    if (platform::Printable(text) != text) {
        std::string quoted = "$'";
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            char escaped[5] = {'\\', c};
            if (byte < 0x20 || byte >= 0x7F)
                std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            quoted += c == '\'' || c == '\\' || escaped[1] != c ? escaped : std::string(1, c);
        }
        return quoted + "'";
    }
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<std::string> CompletionCandidates(const CompletionSources& sources, const std::vector<std::string>& words,
                                              size_t current)
{
    if (current == 0 || current > words.size())
        return {};
    const CompletionCommand* command = nullptr;
    std::vector<const OptionInfo*> options = sources.anywhere;
    const OptionInfo* valueOf = nullptr;
    for (size_t i = 1; i < current; ++i) {
        valueOf = nullptr;
        if (const OptionInfo* option = FindOption(options, words[i])) {
            if (option->values.GetKind() == OptionValues::Kind::None)
                continue;
            if (i + 1 == current) {
                valueOf = option;
                break;
            }
            ++i;
        } else if (!command && !platform::StartsWith(words[i], "-")) {
            for (const CompletionCommand& candidate : sources.commands) {
                if (words[i] == candidate.name) {
                    command = &candidate;
                    options.insert(options.end(), candidate.options.begin(), candidate.options.end());
                }
            }
        }
    }

    const std::string typed = current < words.size() ? Unquoted(words[current]) : std::string();
    std::vector<std::string> choices;
    if (valueOf && std::string(valueOf->name) == "--usb-device" && sources.usbDevices) {
        choices = sources.usbDevices();
    } else if (valueOf) {
        choices = valueOf->values.Choices();
        const std::string name = valueOf->name;
        const auto& devices = name == "--serial" ? sources.serialDevices
            : name == "--parallel"              ? sources.parallelDevices
                                                : std::function<std::vector<std::string>()>();
        if (devices) {
            const std::vector<std::string> paths = devices();
            choices.insert(choices.end(), paths.begin(), paths.end());
        }
    } else if (platform::StartsWith(typed, "-")) {
        if (!command)
            choices = sources.globalOptions;
        else
            choices.push_back("--help");
        for (const OptionInfo* option : options)
            choices.push_back(option->name);
    } else if (!command) {
        for (const CompletionCommand& candidate : sources.commands)
            choices.push_back(candidate.name);
    }

    std::vector<std::string> candidates;
    for (const std::string& choice : choices) {
        if (platform::StartsWithNoCase(choice, typed))
            candidates.push_back(ShellQuoted(choice));
    }
    return candidates;
}

} // namespace kalo::cli
