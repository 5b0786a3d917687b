#pragma once
// The ECU's command vocabulary: every request code with the builder of its payload, and
// the parsers of the answers whose layout is fixed here (configuration blocks and status
// records are decoded by the configuration and measurement layers).
// The answer to a request with code C carries 0xFFFF - C.

#include "bytequeue.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace ambrel {

enum TCommandCode : quint16 {
    cmdWriteBlock = 0x0001,
    cmdReadBlock = 0x0002,
    cmdReadStatus = 0x0003,
    cmdTroubleCodes = 0x0004,
    cmdReadComErrors = 0x0005,
    cmdReadIdent = 0x0006,
    cmdCheckConnection = 0x0007,
    cmdResetECU = 0x0008,
    cmdReadStatusMin = 0x000B,
    cmdFuelSwitch = 0x0012,
    cmdStrategy = 0x0013,
    cmdCounters = 0x0014,
    cmdReadDTCStatus = 0x0015,
    cmdVIN = 0x0016,
    cmdReadStatusExt = 0x0017,
    cmdTestMode = 0x0018,
    cmdTestCommand = 0x0019,
    cmdReadFreezeFrame = 0x001A,
    cmdSolenoidDisable = 0x001B,
    cmdSolenoidTest = 0x001C,
    cmdReadTable32 = 0x001D,
    cmdReadOBD = 0x001E,
    cmdReadOBD2 = 0x001F,
    cmdWriteMemory = 0x7643,
    cmdReadMemory = 0x896A,
};

struct TCommandInfo {
    quint16 Code;
    const char* Name;
};
// All 25 commands in code order, for listings and command-line lookup by name.
const QList<TCommandInfo>& CommandTable();
// Name of a command code ("cmdReadIdent"), or an empty string.
QString CommandName(quint16 code);
// Accepts a name from the table or a number (decimal or 0x-hex).
std::optional<quint16> ParseCommandCode(const QString& text);

// The configuration blocks with two banks carry a bank byte after the block number.
bool IsBankedBlock(int block);
inline constexpr int kBlockCount = 13;
// Size of a block image including its block-number (and bank) byte, 0 outside 1..13.
int BlockImageSize(int block);

// Payload builders: code (little-endian) followed by the command data.
namespace Payload {
QByteArray Plain(quint16 code);
QByteArray WriteBlock(const QByteArray& blockImage);
QByteArray ReadBlock(int block, int bank = 1);
enum class TTroubleAction : quint8 { Read = 1, Clear = 2 };
QByteArray TroubleCodes(TTroubleAction action);
QByteArray ResetECU();
enum class TFuelPress : quint8 { Short = 1, Long = 2 };
QByteArray FuelSwitch(TFuelPress press);
enum class TStrategyRequest : quint8 { SelectSlave = 1, SelectCompensated = 2, Query = 3 };
QByteArray Strategy(TStrategyRequest request);
QByteArray CountersRead();
QByteArray CountersClear();
QByteArray CountersWrite(quint32 drivingCycles, quint32 minutesOnGas, quint32 minutesOnPetrol);
QByteArray VinRead();
QByteArray VinWrite(const QByteArray& vin17);
QByteArray TestMode(bool enter);
QByteArray TestCommand(quint8 subFunction, const QByteArray& arguments = {});
QByteArray SolenoidDisable(bool disabled);
QByteArray SolenoidTest(bool on);
QByteArray WriteMemory(quint32 address, const QByteArray& values);
QByteArray ReadMemory(quint32 address, quint8 size);
} // namespace Payload

// Test-mode sub-functions.
enum TTestSub : quint8 {
    testSolenoid = 1,
    testGasInjector = 2,
    testPetrolInputs = 3,
    testPetrolCut = 4,
    testLambdaEmulation = 5,
    testSwitchLeds = 6,
    testButton = 7,
    testLambdaVoltage = 8,
    testAnalogInput = 9,
    testRpmPresent = 10,
    testRpmPeriod = 11,
};

// "P3391", "U300A": letter from the two top bits, the next two bits in decimal, then the
// three low nibbles in upper-case hexadecimal.
QString TroubleCodeText(quint16 code);

enum class TDtcStatus { NotReady, Present, Stored, Invalid };
QString DtcStatusText(TDtcStatus status);
struct TDtcStatusEntry {
    quint16 Code = 0;
    TDtcStatus Status = TDtcStatus::Invalid;
};

struct TCounters {
    quint8 Lead = 0;
    quint32 DrivingCycles = 0;
    quint32 MinutesOnGas = 0;
    quint32 MinutesOnPetrol = 0;
};

struct TMemoryValue {
    quint32 Address = 0;
    quint8 Size = 0;
    quint32 Value = 0;
};

struct TTestAnswer {
    quint8 SubFunction = 0;
    QList<int> Values; // bytes, or words for the analog input value and the RPM period
};

// Whether `replyFrame`, already known to carry the reply code for `requestFrame`, answers
// this very request. Answers that name what they answer are checked against the request:
// a block read's block number and bank, a counters read's or VIN read's lead byte, a test
// command's sub-function, a memory read's address and size. A late answer to an earlier
// request of the same code (a retry answered twice, a reply that came after its time-out)
// fails here and must not be taken for the request now waiting. Answers that carry nothing
// of their request match by code alone. Both arguments are unstuffed frames.
bool AnswerMatchesRequest(const QByteArray& requestFrame, const QByteArray& replyFrame);

// Answer parsers. They take the data part of the reply (after the code). A field that
// is missing keeps its initial value, as everywhere in the protocol.
namespace Answer {
// List of trouble codes, present only when the data holds more than 2 bytes and starts with 1.
QList<quint16> TroubleCodes(const QByteArray& data);
QList<TDtcStatusEntry> DtcStatus(const QByteArray& data);
QList<quint16> ComErrors(const QByteArray& data);
TCounters Counters(const QByteArray& data);
// The 17 VIN characters after the leading 2; empty when the answer is not a read answer.
QByteArray Vin(const QByteArray& data);
TMemoryValue Memory(const QByteArray& data);
// 1 = test mode active, 2 = left, 0 = no data.
int TestMode(const QByteArray& data);
TTestAnswer TestCommand(const QByteArray& data);
// Strategy answer byte: 1 Slave, 2 Compensated, 0 when absent.
int Strategy(const QByteArray& data);
} // namespace Answer

} // namespace ambrel
