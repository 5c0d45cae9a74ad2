#include "TracingPlatform.h"

namespace kalo::platform {

TracingPlatform::TracingPlatform(Platform& inner, WireTrace& trace)
    : m_inner(inner)
    , m_trace(trace)
    , m_clock(inner.GetClock(), trace)
{
}

} // namespace kalo::platform
