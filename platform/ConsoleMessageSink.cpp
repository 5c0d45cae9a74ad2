#include "ConsoleMessageSink.h"

#include "Interruption.h"

namespace kalo::platform {

std::string ConsoleMessageSink::PlainLines(const std::string& text)
{
    std::string lines;
    lines.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            lines += text[i];
        }
    }
    return lines;
}

void ConsoleMessageSink::Show(const std::string& text, const std::string&, MessageIcon, const std::string& detail)
{
    // What fails once the program is interrupted fails because of it: the
    // program says it was interrupted instead.
    if (Interrupted())
        return;
    // On a console the text alone says it; a caption would only stand in front of it.
    m_out << PlainLines(text) << '\n';
    if (!detail.empty())
        m_out << PlainLines(detail) << '\n';
    m_out.flush();
}

} // namespace kalo::platform
