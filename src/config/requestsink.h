#pragma once
// Where the configuration model sends its block requests: the link manager in the
// programs, a recorder in the tests of transfer order and progress.

#include "link/frame.h"

#include <QByteArray>

namespace ambrel {

class TLinkManager;

class TRequestSink {
public:
    virtual ~TRequestSink() = default;
    virtual bool SendCommand(const QByteArray& payload, TConsumerInterface* consumer, quint8 flag) = 0;
    virtual bool ECUisConnected() const = 0;
    // Code of the request at the head of the transmit queue (the one that just timed out
    // while its consumer hears of it), 0 when the queue is empty.
    virtual quint16 HeadCode() = 0;
};

class TLinkRequestSink final : public TRequestSink {
public:
    explicit TLinkRequestSink(TLinkManager& link) : m_link(link) {}
    bool SendCommand(const QByteArray& payload, TConsumerInterface* consumer, quint8 flag) override;
    bool ECUisConnected() const override;
    quint16 HeadCode() override;

private:
    TLinkManager& m_link;
};

} // namespace ambrel
