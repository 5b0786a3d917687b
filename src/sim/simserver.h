#pragma once
// TSimServer: puts the simulated ECU on a pseudo-terminal, so that the workbench talks to
// it through its real serial stack. It owns the master side; the client opens the slave
// by its name (DeviceName). Everything runs on the event loop of the thread that made it,
// with no blocking calls, so the workbench can run it in-process beside its own link.

#include "simecu.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace ambrel::sim {

class TSimServer : public QObject {
    Q_OBJECT
public:
    explicit TSimServer(const TEngineOptions& engine = {}, QObject* parent = nullptr);
    ~TSimServer() override;

    // Opens the pseudo-terminal pair. False with ErrorString() set when the system has none.
    bool Start();
    bool IsRunning() const { return m_master >= 0; }
    // The slave device to open, for example /dev/pts/5.
    QString DeviceName() const { return m_deviceName; }
    QString ErrorString() const { return m_error; }

    // A pulled cable: the master is closed, the client's port fails.
    void Unplug();

    TSimEcu& Ecu() { return m_ecu; }
    // The clock that the ECU is fed with: milliseconds since the server was made.
    qint64 ElapsedMs() const { return m_clock.elapsed(); }
    // Bytes waiting to go out (paced, delayed or held back by a full terminal buffer).
    bool HasPendingOutput() const { return !m_outbox.isEmpty() || !m_writeBuffer.isEmpty(); }

signals:
    void RequestReceived(quint16 code);

private:
    void ReadMaster();
    void Release();
    void FlushWriteBuffer();
    void Schedule();
    void CloseFds();

    TSimEcu m_ecu;
    QElapsedTimer m_clock;
    int m_master = -1;
    int m_slave = -1; // kept open so the master sees no hang-up when the client closes
    QString m_deviceName;
    QString m_error;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QTimer m_releaseTimer;

    struct TOutgoing {
        TSimChunk Chunk;
        qsizetype Sent = 0;  // bytes of the chunk already released
        double StartMs = -1; // when its first byte went on the paced line
    };
    QList<TOutgoing> m_outbox;
    double m_lineFreeMs = 0;  // when the paced line has finished its last byte
    QByteArray m_writeBuffer; // released bytes the terminal has not taken yet
};

} // namespace ambrel::sim
