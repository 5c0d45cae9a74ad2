#pragma once

#include "platform/MessageSink.h"

#include <vector>

namespace kalo::sim {

// Keeps every message shown, in order, for a test to compare.
class RecordingMessageSink final : public platform::MessageSink {
public:
    struct Message {
        std::string text;
        std::string caption;
        platform::MessageIcon icon;
        std::string detail;
        bool operator==(const Message&) const = default;
    };

    using platform::MessageSink::Show;
    void Show(const std::string& text, const std::string& caption, platform::MessageIcon icon,
              const std::string& detail) override
    {
        m_messages.push_back({text, caption, icon, detail});
    }
    const std::vector<Message>& Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }

private:
    std::vector<Message> m_messages;
};

} // namespace kalo::sim
