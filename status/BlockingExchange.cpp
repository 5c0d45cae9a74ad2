#include "BlockingExchange.h"

#include <QApplication>
#include <QThread>

namespace {

// Drops input at the loop level it was made at; a window a timer opens
// while the queue is read runs its own loop and takes input as usual.
class InputDiscard final : public QObject {
public:
    InputDiscard() : m_level(QThread::currentThread()->loopLevel()) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (QThread::currentThread()->loopLevel() != m_level)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
        }
    }

private:
    const int m_level;
};

} // namespace

BlockingExchange::BlockingExchange(Cursor cursor)
    : m_waitCursor(cursor == WaitCursor)
{
    if (m_waitCursor)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

BlockingExchange::~BlockingExchange()
{
    {
        InputDiscard discard;
        QCoreApplication::instance()->installEventFilter(&discard);
        QCoreApplication::processEvents();
        QCoreApplication::instance()->removeEventFilter(&discard);
    }
    if (m_waitCursor)
        QApplication::restoreOverrideCursor();
}
