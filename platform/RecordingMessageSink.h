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
        bool operator==(const Message&) const = default;
    };

    void Show(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        m_messages.push_back({text, caption, icon});
    }
    const std::vector<Message>& Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }

private:
    std::vector<Message> m_messages;
};

} // namespace kalo::platform
