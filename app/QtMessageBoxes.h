#pragma once

#include "platform/MessageSink.h"

#include <QPointer>
#include <QWidget>

// Message boxes as real modal boxes, owned by the window that is current.
// A box without a caption of its own carries the application's name; a
// detail goes below the text as the box's informative text.
class QtMessageBoxes final : public kalo::platform::MessageSink {
public:
    void SetOwner(QWidget* owner) { m_owner = owner; }
    using kalo::platform::MessageSink::Show;
    void Show(const std::string& text, const std::string& caption, kalo::platform::MessageIcon icon,
              const std::string& detail) override;

private:
    QPointer<QWidget> m_owner;
};
