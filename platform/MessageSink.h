#pragma once

#include <string>

namespace kalo::platform {

enum class MessageIcon { None, Information, Warning, Error, Question };

// Where the program's message boxes go: a real box in the windows, standard
// error in kaloctl, a record in tests.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void Show(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

} // namespace kalo::platform
