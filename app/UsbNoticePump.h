#pragma once

#include "platform/UsbDeviceWatcher.h"

#include <QObject>

class QSocketNotifier;

// Hands the watcher's device-change notices out on the user-interface
// thread, from the event loop, so they always fall between two handlers.
class UsbNoticePump : public QObject {
    Q_OBJECT
public:
    UsbNoticePump(kalo::platform::UsbDeviceWatcher& watcher, QObject* parent);
    ~UsbNoticePump() override;

private:
    kalo::platform::UsbDeviceWatcher& m_watcher;
    QSocketNotifier* m_notifier = nullptr;
};
