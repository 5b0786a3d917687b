#pragma once
// The one queue of requests waiting to go to the ECU: a ring of 30 reusable frames with
// strictly one request in flight (the head). It tells empty from full only by
// Head == Tail, so at most 29 requests can wait; a 30th is refused (Enqueue returns
// false) rather than letting the ring read as empty and lose all 29.

#include "frame.h"

#include <array>

namespace ambrel {

class TTXQueue {
public:
    static constexpr int kSlots = 30;
    static constexpr int kCapacity = kSlots - 1;

    enum class TEnqueueResult { Queued, Disabled, Full };

    // Fills the tail slot. A disabled queue drops the request (nobody is told; callers
    // that must know look at the result), a full one refuses it.
    TEnqueueResult Enqueue(const QByteArray& frame, TConsumerInterface* consumer, quint8 flag);

    bool IsEmpty() const { return m_head == m_tail; }
    int Count() const;
    TFrame* HeadFrame();
    void Pop();
    bool Contains(quint16 code) const;
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    // Tells every waiting requester OnFailure, empties the ring and keeps Enabled as it was.
    void Clear();

    int Head() const { return m_head; }
    int Tail() const { return m_tail; }
    TConsumerInterface& ConsumerOf(const TFrame& frame);
    // Hands the waiting requests of `consumer` to the default consumer: it is going away
    // and must not hear of them.
    void Forget(const TConsumerInterface* consumer);

private:
    std::array<TFrame, kSlots> m_frames{};
    TDefaultConsumer m_defaultConsumer;
    int m_head = 0;
    int m_tail = 0;
    bool m_enabled = true;
};

} // namespace ambrel
