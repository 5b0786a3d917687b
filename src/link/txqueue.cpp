#include "txqueue.h"

namespace ambrel {

TTXQueue::TEnqueueResult TTXQueue::Enqueue(const QByteArray& frame, TConsumerInterface* consumer,
                                           quint8 flag) {
    if (!m_enabled)
        return TEnqueueResult::Disabled;
    if (Count() >= kCapacity)
        return TEnqueueResult::Full;
    TFrame& slot = m_frames[static_cast<size_t>(m_tail)];
    slot.Data = frame;
    slot.Consumer = consumer;
    slot.Flag = flag;
    slot.SendCount = 0;
    m_tail = (m_tail + 1) % kSlots;
    return TEnqueueResult::Queued;
}

int TTXQueue::Count() const {
    const int n = m_tail - m_head;
    return n < 0 ? n + kSlots : n;
}

TFrame* TTXQueue::HeadFrame() {
    return IsEmpty() ? nullptr : &m_frames[static_cast<size_t>(m_head)];
}

void TTXQueue::Pop() {
    if (!IsEmpty())
        m_head = (m_head + 1) % kSlots;
}

bool TTXQueue::Contains(quint16 code) const {
    for (int i = m_head; i != m_tail; i = (i + 1) % kSlots)
        if (m_frames[static_cast<size_t>(i)].Code() == code)
            return true;
    return false;
}

TConsumerInterface& TTXQueue::ConsumerOf(const TFrame& frame) {
    return frame.Consumer ? *frame.Consumer : m_defaultConsumer;
}

void TTXQueue::Forget(const TConsumerInterface* consumer) {
    if (!consumer)
        return;
    for (TFrame& frame : m_frames)
        if (frame.Consumer == consumer)
            frame.Consumer = nullptr;
}

void TTXQueue::Clear() {
    const bool wasEnabled = m_enabled;
    m_enabled = false;
    while (!IsEmpty()) {
        // The failed request is still the head while its consumer hears of it.
        ConsumerOf(m_frames[static_cast<size_t>(m_head)]).OnFailure();
        Pop();
    }
    m_head = m_tail = 0;
    m_enabled = wasEnabled;
}

} // namespace ambrel
