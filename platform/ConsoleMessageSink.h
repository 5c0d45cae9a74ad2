#pragma once

#include "MessageSink.h"

#include <ostream>

namespace kalo::platform {

// Message boxes for a program without windows: the text, as lines, on the
// given stream, and the detail on the line after it. None once the program
// is interrupted.
class ConsoleMessageSink final : public MessageSink {
public:
    explicit ConsoleMessageSink(std::ostream& out) : m_out(out) {}
    using MessageSink::Show;
    void Show(const std::string& text, const std::string& caption, MessageIcon icon,
              const std::string& detail) override;

    // The text with "\r\n" and lone "\r" turned into "\n".
    static std::string PlainLines(const std::string& text);

private:
    std::ostream& m_out;
};

} // namespace kalo::platform
