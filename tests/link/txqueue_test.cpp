#include "link/txqueue.h"

#include <QStringList>
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;

namespace {
struct TRecorder final : TConsumerInterface {
    QList<QString> events;
    TTXQueue* queue = nullptr;
    void OnReply(const TFrame&) override { events << "reply"; }
    void OnFailure() override {
        // The failed request is still the head while we hear of it.
        events << QStringLiteral("failure %1").arg(queue && queue->HeadFrame() ? queue->HeadFrame()->Code() : -1);
    }
    void OnTimeout() override { events << "timeout"; }
};
QByteArray Frame(quint16 code) {
    return BuildFrame(MakePayload(code));
}
} // namespace

TEST(TXQueue, RingCountsWrapAndContains) {
    TTXQueue q;
    EXPECT_TRUE(q.IsEmpty());
    // Walk the ring round more than once.
    for (int i = 0; i < 75; ++i) {
        ASSERT_EQ(q.Enqueue(Frame(static_cast<quint16>(i + 1)), nullptr, 0), TTXQueue::TEnqueueResult::Queued);
        ASSERT_EQ(q.Enqueue(Frame(0x0003), nullptr, 0), TTXQueue::TEnqueueResult::Queued);
        EXPECT_EQ(q.Count(), 2);
        EXPECT_TRUE(q.Contains(static_cast<quint16>(i + 1)));
        EXPECT_EQ(q.HeadFrame()->Code(), i + 1);
        q.Pop();
        q.Pop();
        EXPECT_FALSE(q.Contains(0x0003));
    }
    EXPECT_EQ(q.HeadFrame(), nullptr);
    q.Pop(); // popping an empty queue does nothing
    EXPECT_EQ(q.Count(), 0);
}

TEST(TXQueue, ThirtiethRequestIsRefusedAndTheRingSurvives) {
    TTXQueue q;
    for (int i = 0; i < TTXQueue::kCapacity; ++i)
        ASSERT_EQ(q.Enqueue(Frame(0x0010), nullptr, 0), TTXQueue::TEnqueueResult::Queued);
    EXPECT_EQ(q.Count(), 29);
    EXPECT_EQ(q.Enqueue(Frame(0x0011), nullptr, 0), TTXQueue::TEnqueueResult::Full);
    EXPECT_EQ(q.Count(), 29);
    EXPECT_FALSE(q.Contains(0x0011));
    q.Pop();
    EXPECT_EQ(q.Enqueue(Frame(0x0011), nullptr, 0), TTXQueue::TEnqueueResult::Queued);
    EXPECT_EQ(q.Count(), 29);
}

TEST(TXQueue, DisabledQueueDropsAndClearFailsEveryWaitingRequest) {
    TTXQueue q;
    TRecorder r;
    r.queue = &q;
    q.SetEnabled(false);
    EXPECT_EQ(q.Enqueue(Frame(0x0006), &r, 0), TTXQueue::TEnqueueResult::Disabled);
    EXPECT_EQ(q.Count(), 0);
    q.SetEnabled(true);
    q.Enqueue(Frame(0x0006), &r, 7);
    q.Enqueue(Frame(0x0013), &r, 0);
    q.Enqueue(Frame(0x0007), nullptr, 0); // default consumer
    EXPECT_EQ(q.HeadFrame()->Flag, 7);
    q.Clear();
    EXPECT_EQ(r.events, (QList<QString>{"failure 6", "failure 19"}));
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_TRUE(q.Enabled());
    EXPECT_EQ(q.Head(), 0);
    EXPECT_EQ(q.Tail(), 0);
}
