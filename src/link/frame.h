#pragma once
// A request waiting in the transmit queue, or a reply handed to its requester, and the
// interface through which requesters learn the outcome of what they queued.

#include "framecodec.h"

#include <QByteArray>

namespace ambrel {

class TConsumerInterface;

struct TFrame {
    QByteArray Data;                          // the whole unstuffed frame, delimiters included
    TConsumerInterface* Consumer = nullptr;   // nullptr: the default consumer
    int SendCount = 0;                        // transmissions so far
    quint8 Flag = 0;                          // the requester's byte, copied into the reply

    bool IsEmpty() const { return Data.isEmpty(); }
    quint16 Code() const { return FrameCode(Data); }
    quint16 RequestCode() const { return ReplyCodeFor(Code()); }
    QByteArray FrameDataPart() const { return ambrel::FrameData(Data); }
};

// Every request ends in exactly one of OnReply, OnFailure or OnTimeout. OnReply runs from
// the event loop after the answered request has left the queue, so a consumer may queue
// follow-up requests from it. A consumer tells replies apart by their code
// (0xFFFF - request code) and copies what it needs: the reply is not kept for it.
class TConsumerInterface {
public:
    virtual ~TConsumerInterface() = default;
    virtual void OnReply(const TFrame& reply) = 0;
    virtual void OnReserved() {}
    // The request will not be answered: refused, cleared, or behind a request that timed out.
    virtual void OnFailure() = 0;
    // The request went out three times without a usable answer.
    virtual void OnTimeout() = 0;
};

// Serves every request queued without a consumer: does nothing.
class TDefaultConsumer final : public TConsumerInterface {
public:
    void OnReply(const TFrame&) override {}
    void OnFailure() override {}
    void OnTimeout() override {}
};

} // namespace ambrel
