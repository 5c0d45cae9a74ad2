#include "UsbNoticePump.h"

#include <QSocketNotifier>

UsbNoticePump::UsbNoticePump(kalo::platform::UsbDeviceWatcher& watcher, QObject* parent)
    : QObject(parent)
    , m_watcher(watcher)
{
    const int descriptor = m_watcher.Descriptor();
    if (descriptor < 0)
        return;
    m_notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { m_watcher.DeliverPending(); });
    m_watcher.SetDeliveredByEventLoop(true);
}

UsbNoticePump::~UsbNoticePump()
{
    if (m_notifier)
        m_watcher.SetDeliveredByEventLoop(false);
}
