#pragma once

#include <string>

namespace kalo::platform {

enum class MessageIcon { None, Information, Warning, Error, Question };

// Where the program's message boxes go: a real box in the windows, standard
// error in kaloctl, a record in tests.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // detail: why it happened, in the system's words with a hint where there
    // is one; kept apart from the text so every box keeps its own words.
    virtual void Show(const std::string& text, const std::string& caption, MessageIcon icon,
                      const std::string& detail) = 0;
    void Show(const std::string& text, const std::string& caption, MessageIcon icon)
    {
        Show(text, caption, icon, std::string());
    }
};

} // namespace kalo::platform
