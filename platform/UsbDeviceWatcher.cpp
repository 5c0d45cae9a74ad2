#include "UsbDeviceWatcher.h"

#include <algorithm>
#include <utility>

namespace kalo::platform {

void UsbDeviceWatcher::AddListener(UsbNoticeListener* listener)
{
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void UsbDeviceWatcher::RemoveListener(UsbNoticeListener* listener)
{
    // Cleared rather than erased, so a delivery running over the list is
    // not disturbed; the gaps go once it is done.
    std::replace(m_listeners.begin(), m_listeners.end(), listener, static_cast<UsbNoticeListener*>(nullptr));
    if (!m_delivering)
        std::erase(m_listeners, nullptr);
}

void UsbDeviceWatcher::DeliverPending()
{
    // A listener may ask again from within a notice (a port reopening its
    // printer makes a transfer); the outer call carries on with the rest.
    if (m_delivering)
        return;
    for (const UsbDeviceNotice& notice : TakePending())
        Deliver(notice);
}

UsbNoticeAnswer UsbDeviceWatcher::Deliver(const UsbDeviceNotice& notice)
{
    const bool outer = !m_delivering;
    m_delivering = true;
    UsbNoticeAnswer answer = UsbNoticeAnswer::Granted;
    // Listeners added during the delivery hear from the next notice on.
    const size_t count = m_listeners.size();
    for (size_t i = 0; i < count; ++i) {
        if (m_listeners[i] && m_listeners[i]->OnUsbNotice(notice) == UsbNoticeAnswer::Denied)
            answer = UsbNoticeAnswer::Denied;
    }
    if (outer) {
        m_delivering = false;
        std::erase(m_listeners, nullptr);
    }
    return answer;
}

std::vector<UsbDeviceNotice> FedUsbDeviceWatcher::TakePending()
{
    return std::exchange(m_pending, {});
}

} // namespace kalo::platform
