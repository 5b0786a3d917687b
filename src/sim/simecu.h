#pragma once
// TSimEcu: the simulated ECU as a pure protocol peer. It is fed the bytes that the host
// wrote, with the time they arrived, and hands back what the ECU puts on the line and
// when. It has no clock and no port of its own, so it can be driven byte for byte by
// tests, by the pseudo-terminal server and by the in-process demo alike.
//
// Besides answering every command of the ECU's vocabulary it can misbehave on purpose
// (TSimFaults) and keeps a log of every request it heard and what it did with it.

#include "enginemodel.h"

#include "link/framecodec.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>

#include <algorithm>
#include <array>
#include <optional>

namespace ambrel::sim {

// Line and ECU faults. K counts the requests received since the faults were set, from 1;
// 0 switches a fault off. A request that is ignored still goes into the received log.
struct TSimFaults {
    int SilenceAfter = -1;   // answer the first N requests, then nothing (-1 = never silent)
    int DropEvery = 0;       // ignore every K-th request
    int CorruptEvery = 0;    // the reply to every K-th request carries a wrong checksum
    QSet<quint16> NackCodes; // request codes refused with 0x0707
    int EchoEvery = 0;       // every K-th request is echoed back before its reply
    int IncompleteEvery = 0; // the reply to every K-th request breaks off after 5 bytes
    int AnswerDelayMs = 0;   // think time before each reply
    // Wire speed: a byte takes 10 bits. A reply starts no earlier than the request would
    // have needed to arrive at this speed. 0 = no pacing.
    int PacingBaud = 0;
};

// The ECU prints its boot text at this speed, whatever the link's own speed.
inline constexpr int kBootBaud = 38400;
// Time between the answer to a reset and the first character of the boot text.
inline constexpr qint64 kBootDelayMs = 150;

enum class TSimChunkKind { Reply, Echo, BootText };

// Bytes to put on the line at DueMs, at Baud bytes*10 per second (0 = at once). Chunks
// go out in the order given, a chunk never before the one ahead of it has gone out.
struct TSimChunk {
    qint64 DueMs = 0;
    QByteArray Bytes;
    int Baud = 0;
    TSimChunkKind Kind = TSimChunkKind::Reply;
};

enum class TSimTreatment {
    Answered,    // the command's own answer
    Nacked,      // refused with 0x0707: by the NackCodes fault, unknown or malformed
    BadChecksum, // the request's checksum was wrong: answered with 0x7070
    Dropped,     // ignored by the DropEvery fault
    Silent,      // ignored by the SilenceAfter fault
    Restarting,  // arrived while the ECU was restarting after a reset
    TooShort,    // fewer bytes than the smallest frame: ignored
};

struct TReceivedRequest {
    qint64 ElapsedMs = 0; // the caller's clock when the request arrived
    quint16 Code = 0;
    QByteArray Data;
    TSimTreatment Treatment = TSimTreatment::Answered;
    bool Echoed = false;
    bool Corrupted = false;  // the reply's checksum was spoiled
    bool Incomplete = false; // the reply was cut short
    QByteArray Reply;        // the unstuffed reply frame as built, empty when none was sent
};

struct TDtcEntry {
    quint16 Code = 0;
    quint8 Status = 0; // 0 not ready, 1 present, 2 stored
};

struct TEcuCounters {
    quint32 DrivingCycles = 0;
    quint32 MinutesOnGas = 0;
    quint32 MinutesOnPetrol = 0;
};

class TSimEcu {
public:
    static constexpr const char* kDefaultIdent = "WUX-04 1.4.12 K35F62T9";
    static constexpr const char* kDefaultVin = "ZFA19800004512376";

    explicit TSimEcu(const TEngineOptions& engine = {});

    // Bytes from the host, arrived at nowMs (the caller's monotonic clock, starting at 0
    // when the ECU was made). Returns what to send, in order.
    QList<TSimChunk> Feed(const QByteArray& bytes, qint64 nowMs);
    // Lets the engine's time catch up with the caller's clock without input.
    void Advance(qint64 nowMs);

    // Setting the faults restarts the request count that they are keyed to.
    void SetFaults(const TSimFaults& faults);
    const TSimFaults& Faults() const { return m_faults; }
    int RequestCount() const { return m_requestCount; }

    const QList<TReceivedRequest>& Received() const { return m_received; }
    void ClearReceived() { m_received.clear(); }
    // The log keeps the newest entries up to this many, so a demo left running for hours
    // does not grow without bound.
    void SetReceivedLimit(qsizetype limit) { m_receivedLimit = std::max<qsizetype>(limit, 1); }

    TEngineModel& Engine() { return m_engine; }
    const TEngineModel& Engine() const { return m_engine; }

    void SetIdent(const QByteArray& ident) { m_ident = ident; }
    const QByteArray& Ident() const { return m_ident; }
    void SetStrategy(TStrategy strategy);
    TStrategy Strategy() const { return m_strategy; }

    void SetVin(const QByteArray& vin17) { m_vin = vin17; }
    const QByteArray& Vin() const { return m_vin; }
    void SetTroubleCodes(const QList<TDtcEntry>& codes) { m_dtcs = codes; }
    const QList<TDtcEntry>& TroubleCodes() const { return m_dtcs; }
    void SetComErrors(const QList<quint16>& codes) { m_comErrors = codes; }
    const QList<quint16>& ComErrors() const { return m_comErrors; }
    // The counters as the ECU reports them now (stored values plus the engine's use since).
    TEcuCounters Counters() const;
    void SetCounters(const TEcuCounters& counters);

    // A block image as the ECU holds it: block number, the bank for banked blocks, data.
    QByteArray BlockImage(int block, int bank = 1) const;
    // Stores a block image as a write of the workbench would (an ECU configured for a
    // test); false when the ECU would refuse it.
    bool SetBlockImage(const QByteArray& image) { return OnWriteBlock(image).has_value(); }
    bool InTestMode() const { return m_testMode; }
    // The change-over switch's LED pattern last set in test mode (0 = off).
    quint8 SwitchLedPattern() const { return m_switchLeds; }
    quint8 MemoryByte(quint32 address) const { return m_memory.value(address & 0xFFFFFF, 0); }
    void WriteMemoryByte(quint32 address, quint8 value) { m_memory.insert(address & 0xFFFFFF, value); }

private:
    // A command's answer data, or nothing when the request is malformed (refused).
    using THandler = std::optional<QByteArray> (TSimEcu::*)(const QByteArray& data);
    struct TCommandEntry {
        quint16 Code;
        THandler Handler;
    };
    static const QList<TCommandEntry>& CommandHandlers();

    void HandlePacket(const QByteArray& captured, qint64 nowMs, QList<TSimChunk>& out);
    qint64 WireMs(qsizetype bytes, int baud) const;
    void ResetBlocks();
    static int BlockKey(int block, int bank);

    std::optional<QByteArray> OnWriteBlock(const QByteArray& data);
    std::optional<QByteArray> OnReadBlock(const QByteArray& data);
    std::optional<QByteArray> OnReadStatus(const QByteArray& data);
    std::optional<QByteArray> OnTroubleCodes(const QByteArray& data);
    std::optional<QByteArray> OnReadComErrors(const QByteArray& data);
    std::optional<QByteArray> OnReadIdent(const QByteArray& data);
    std::optional<QByteArray> OnCheckConnection(const QByteArray& data);
    std::optional<QByteArray> OnResetECU(const QByteArray& data);
    std::optional<QByteArray> OnReadStatusMin(const QByteArray& data);
    std::optional<QByteArray> OnFuelSwitch(const QByteArray& data);
    std::optional<QByteArray> OnStrategy(const QByteArray& data);
    std::optional<QByteArray> OnCounters(const QByteArray& data);
    std::optional<QByteArray> OnReadDTCStatus(const QByteArray& data);
    std::optional<QByteArray> OnVIN(const QByteArray& data);
    std::optional<QByteArray> OnReadStatusExt(const QByteArray& data);
    std::optional<QByteArray> OnTestMode(const QByteArray& data);
    std::optional<QByteArray> OnTestCommand(const QByteArray& data);
    std::optional<QByteArray> OnReadFreezeFrame(const QByteArray& data);
    std::optional<QByteArray> OnSolenoidDisable(const QByteArray& data);
    std::optional<QByteArray> OnSolenoidTest(const QByteArray& data);
    std::optional<QByteArray> OnReadTable32(const QByteArray& data);
    std::optional<QByteArray> OnReadOBD(const QByteArray& data);
    std::optional<QByteArray> OnReadOBD2(const QByteArray& data);
    std::optional<QByteArray> OnWriteMemory(const QByteArray& data);
    std::optional<QByteArray> OnReadMemory(const QByteArray& data);

    // The engine as the status answers show it, with what test mode and the solenoid
    // test drive laid over it.
    TEngineValues Snapshot() const;
    void LeaveTestMode();
    std::optional<int> AnalogChannelValue(int channel) const;
    void NoteComError(quint16 code);
    void Log(const TReceivedRequest& request);

    TEngineModel m_engine;
    qint64 m_clockMs = 0;
    TPacketCapture m_capture;
    TSimFaults m_faults;
    int m_requestCount = 0;
    QList<TReceivedRequest> m_received;
    qsizetype m_receivedLimit = 10000;
    qint64 m_restartUntilMs = -1;

    QByteArray m_ident = kDefaultIdent;
    TStrategy m_strategy = TStrategy::Slave;
    QByteArray m_vin = kDefaultVin;
    QList<TDtcEntry> m_dtcs;
    QList<quint16> m_comErrors;
    bool m_freezeFrameStored = true;
    TEcuCounters m_counterBase;
    quint32 m_startsAtBase = 0;
    qint64 m_gasMsAtBase = 0;
    qint64 m_petrolMsAtBase = 0;
    QHash<int, QByteArray> m_blocks;
    QHash<quint32, quint8> m_memory;

    // Test mode outputs and the state of the solenoid as the workbench set it.
    bool m_testMode = false;
    bool m_testSolenoid = false;
    quint8 m_testGasInjectors = 0;
    bool m_petrolConnected = true;
    bool m_lambdaEmulation = false;
    quint8 m_switchLeds = 0;
    std::array<quint8, 2> m_emulatedLambdaTenths{};
    bool m_solenoidTestOn = false;
};

} // namespace ambrel::sim
