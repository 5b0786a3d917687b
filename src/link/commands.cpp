#include "commands.h"

#include "framecodec.h"

namespace ambrel {

const QList<TCommandInfo>& CommandTable() {
    static const QList<TCommandInfo> table = {
        {cmdWriteBlock, "cmdWriteBlock"},         {cmdReadBlock, "cmdReadBlock"},
        {cmdReadStatus, "cmdReadStatus"},         {cmdTroubleCodes, "cmdTroubleCodes"},
        {cmdReadComErrors, "cmdReadComErrors"},   {cmdReadIdent, "cmdReadIdent"},
        {cmdCheckConnection, "cmdCheckConnection"}, {cmdResetECU, "cmdResetECU"},
        {cmdReadStatusMin, "cmdReadStatusMin"},   {cmdFuelSwitch, "cmdFuelSwitch"},
        {cmdStrategy, "cmdStrategy"},             {cmdCounters, "cmdCounters"},
        {cmdReadDTCStatus, "cmdReadDTCStatus"},   {cmdVIN, "cmdVIN"},
        {cmdReadStatusExt, "cmdReadStatusExt"},   {cmdTestMode, "cmdTestMode"},
        {cmdTestCommand, "cmdTestCommand"},       {cmdReadFreezeFrame, "cmdReadFreezeFrame"},
        {cmdSolenoidDisable, "cmdSolenoidDisable"}, {cmdSolenoidTest, "cmdSolenoidTest"},
        {cmdReadTable32, "cmdReadTable32"},       {cmdReadOBD, "cmdReadOBD"},
        {cmdReadOBD2, "cmdReadOBD2"},             {cmdWriteMemory, "cmdWriteMemory"},
        {cmdReadMemory, "cmdReadMemory"},
    };
    return table;
}

QString CommandName(quint16 code) {
    for (const auto& info : CommandTable())
        if (info.Code == code)
            return QString::fromLatin1(info.Name);
    return {};
}

std::optional<quint16> ParseCommandCode(const QString& text) {
    for (const auto& info : CommandTable())
        if (text.compare(QLatin1String(info.Name), Qt::CaseInsensitive) == 0)
            return info.Code;
    bool ok = false;
    const uint value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toUInt(&ok, 16)
                                                                                 : text.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF)
        return std::nullopt;
    return static_cast<quint16>(value);
}

bool IsBankedBlock(int block) {
    return block == 3 || block == 4 || block == 8;
}

int BlockImageSize(int block) {
    static constexpr int kSizes[kBlockCount] = {61, 25, 131, 131, 29, 68, 29, 131, 14, 65, 9, 169, 108};
    return (block >= 1 && block <= kBlockCount) ? kSizes[block - 1] : 0;
}

bool AnswerMatchesRequest(const QByteArray& requestFrame, const QByteArray& replyFrame) {
    const QByteArray sent = FrameData(requestFrame);
    const QByteArray got = FrameData(replyFrame);
    // The first `n` bytes of the answer repeat those of the request.
    const auto echoes = [&](qsizetype n) { return sent.size() >= n && got.size() >= n && got.left(n) == sent.left(n); };
    const auto lead = [](const QByteArray& data) { return data.isEmpty() ? -1 : static_cast<quint8>(data.at(0)); };
    switch (FrameCode(requestFrame)) {
    case cmdReadBlock:
        return echoes(IsBankedBlock(lead(sent)) ? 2 : 1);
    case cmdCounters:
        // Only a read's answer is known to start with its sub-function; the answers to
        // clear and write are taken as they come.
        return lead(sent) != 1 || lead(got) == 1;
    case cmdVIN: {
        const bool readAnswer = lead(got) == 2 && got.size() >= 18;
        return lead(sent) == 2 ? readAnswer : !readAnswer;
    }
    case cmdTestCommand:
        return echoes(1);
    case cmdReadMemory:
        return echoes(4);
    default:
        return true;
    }
}

namespace Payload {

QByteArray Plain(quint16 code) {
    return MakePayload(code);
}

static QByteArray WithByte(quint16 code, quint8 b) {
    return MakePayload(code, QByteArray(1, static_cast<char>(b)));
}

QByteArray WriteBlock(const QByteArray& blockImage) {
    return MakePayload(cmdWriteBlock, blockImage);
}

QByteArray ReadBlock(int block, int bank) {
    TByteQueue q;
    q.WriteByte(block);
    if (IsBankedBlock(block))
        q.WriteByte(bank);
    return MakePayload(cmdReadBlock, q.GetData());
}

QByteArray TroubleCodes(TTroubleAction action) {
    return WithByte(cmdTroubleCodes, static_cast<quint8>(action));
}
QByteArray ResetECU() {
    return WithByte(cmdResetECU, 1);
}
QByteArray FuelSwitch(TFuelPress press) {
    return WithByte(cmdFuelSwitch, static_cast<quint8>(press));
}
QByteArray Strategy(TStrategyRequest request) {
    return WithByte(cmdStrategy, static_cast<quint8>(request));
}
QByteArray CountersRead() {
    return WithByte(cmdCounters, 1);
}
QByteArray CountersClear() {
    return WithByte(cmdCounters, 2);
}

static void WriteLong(TByteQueue& q, quint32 v) {
    q.WriteWord(v & 0xFFFF);
    q.WriteWord(v >> 16);
}

QByteArray CountersWrite(quint32 drivingCycles, quint32 minutesOnGas, quint32 minutesOnPetrol) {
    TByteQueue q;
    q.WriteByte(3);
    WriteLong(q, drivingCycles);
    WriteLong(q, minutesOnGas);
    WriteLong(q, minutesOnPetrol);
    return MakePayload(cmdCounters, q.GetData());
}
QByteArray VinRead() {
    return WithByte(cmdVIN, 2);
}
QByteArray VinWrite(const QByteArray& vin17) {
    QByteArray vin = vin17.left(17);
    vin.append(QByteArray(17 - vin.size(), ' '));
    return MakePayload(cmdVIN, QByteArray(1, '\x01') + vin);
}
QByteArray TestMode(bool enter) {
    return WithByte(cmdTestMode, enter ? 1 : 2);
}
QByteArray TestCommand(quint8 subFunction, const QByteArray& arguments) {
    return MakePayload(cmdTestCommand, QByteArray(1, static_cast<char>(subFunction)) + arguments);
}
QByteArray SolenoidDisable(bool disabled) {
    return WithByte(cmdSolenoidDisable, disabled ? 1 : 0);
}
QByteArray SolenoidTest(bool on) {
    return WithByte(cmdSolenoidTest, on ? 1 : 0);
}

static void WriteAddress(TByteQueue& q, quint32 address) {
    q.WriteByte(address & 0xFF);
    q.WriteByte((address >> 8) & 0xFF);
    q.WriteByte((address >> 16) & 0xFF);
}

QByteArray WriteMemory(quint32 address, const QByteArray& values) {
    TByteQueue q;
    WriteAddress(q, address);
    q.WriteByte(values.size());
    q.WriteBytes(values);
    return MakePayload(cmdWriteMemory, q.GetData());
}

QByteArray ReadMemory(quint32 address, quint8 size) {
    TByteQueue q;
    WriteAddress(q, address);
    q.WriteByte(size);
    return MakePayload(cmdReadMemory, q.GetData());
}

} // namespace Payload

QString TroubleCodeText(quint16 code) {
    static constexpr char kLetters[4] = {'P', 'C', 'B', 'U'};
    return QStringLiteral("%1%2%3")
        .arg(QLatin1Char(kLetters[code >> 14]))
        .arg((code >> 12) & 0x3)
        .arg(code & 0x0FFF, 3, 16, QLatin1Char('0'))
        .toUpper();
}

QString DtcStatusText(TDtcStatus status) {
    switch (status) {
    case TDtcStatus::NotReady:
        return QStringLiteral("Not ready");
    case TDtcStatus::Present:
        return QStringLiteral("Present");
    case TDtcStatus::Stored:
        return QStringLiteral("Stored");
    case TDtcStatus::Invalid:
        break;
    }
    return QStringLiteral("Invalid");
}

namespace Answer {

static QList<quint16> WordList(TByteQueue& q) {
    QList<quint16> list;
    int w = 0;
    while (q.ReadWord(w))
        list.append(static_cast<quint16>(w));
    return list;
}

QList<quint16> TroubleCodes(const QByteArray& data) {
    if (data.size() <= 2 || static_cast<quint8>(data.at(0)) != 1)
        return {};
    TByteQueue q(data.mid(2));
    return WordList(q);
}

QList<TDtcStatusEntry> DtcStatus(const QByteArray& data) {
    QList<TDtcStatusEntry> list;
    TByteQueue q(data);
    int lead = 0;
    q.ReadByte(lead);
    while (q.Available(3)) {
        int code = 0, status = 0;
        q.ReadWord(code);
        q.ReadByte(status);
        TDtcStatusEntry entry;
        entry.Code = static_cast<quint16>(code);
        entry.Status = status <= 2 ? static_cast<TDtcStatus>(status) : TDtcStatus::Invalid;
        list.append(entry);
    }
    return list;
}

QList<quint16> ComErrors(const QByteArray& data) {
    TByteQueue q(data);
    return WordList(q);
}

TCounters Counters(const QByteArray& data) {
    TCounters c;
    TByteQueue q(data);
    int lead = 0;
    if (q.ReadByte(lead))
        c.Lead = static_cast<quint8>(lead);
    q.ReadLongWord(c.DrivingCycles);
    q.ReadLongWord(c.MinutesOnGas);
    q.ReadLongWord(c.MinutesOnPetrol);
    return c;
}

QByteArray Vin(const QByteArray& data) {
    if (data.isEmpty() || static_cast<quint8>(data.at(0)) != 2)
        return {};
    return data.mid(1, 17);
}

TMemoryValue Memory(const QByteArray& data) {
    TMemoryValue m;
    TByteQueue q(data);
    int a0 = 0, a1 = 0, a2 = 0, size = 0;
    if (!q.Available(4))
        return m;
    q.ReadByte(a0);
    q.ReadByte(a1);
    q.ReadByte(a2);
    q.ReadByte(size);
    m.Address = static_cast<quint32>(a0 | a1 << 8 | a2 << 16);
    m.Size = static_cast<quint8>(size);
    quint32 value = 0;
    for (int i = 0; i < size && i < 4; ++i) {
        int b = 0;
        if (!q.ReadByte(b))
            break;
        value |= static_cast<quint32>(b) << (8 * i);
    }
    m.Value = value;
    return m;
}

int TestMode(const QByteArray& data) {
    return data.isEmpty() ? 0 : static_cast<quint8>(data.at(0));
}

TTestAnswer TestCommand(const QByteArray& data) {
    TTestAnswer a;
    TByteQueue q(data);
    int sub = 0;
    if (!q.ReadByte(sub))
        return a;
    a.SubFunction = static_cast<quint8>(sub);
    int v = 0;
    switch (sub) {
    case testAnalogInput:
        if (q.ReadByte(v))
            a.Values.append(v);
        if (q.ReadWord(v))
            a.Values.append(v);
        break;
    case testRpmPeriod:
        if (q.ReadWord(v))
            a.Values.append(v);
        break;
    default:
        while (q.ReadByte(v))
            a.Values.append(v);
        break;
    }
    return a;
}

int Strategy(const QByteArray& data) {
    return data.isEmpty() ? 0 : static_cast<quint8>(data.at(0));
}

} // namespace Answer

} // namespace ambrel
