#pragma once

#include "MessageSink.h"

#include <vector>

namespace kalo::platform {

// Keeps every message shown, for tests and for front ends that present them later.
class RecordingMessageSink final : public MessageSink {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageIcon icon;
        std::string detail;
        bool operator==(const Message&) const = default;
    };

    using MessageSink::Show;
    void Show(const std::string& text, const std::string& caption, MessageIcon icon,
              const std::string& detail) override
    {
        m_messages.push_back({text, caption, icon, detail});
    }
    const std::vector<Message>& Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }

private:
    std::vector<Message> m_messages;
};

} // namespace kalo::platform
