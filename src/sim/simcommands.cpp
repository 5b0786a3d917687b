// The simulated ECU's answers, one handler per command. A handler returns the answer's
// data, or nothing when the request lacks what the command needs (the ECU refuses it).

#include "simecu.h"
#include "statusrecords.h"

#include "link/bytequeue.h"
#include "link/commands.h"

#include "config/rawdata.h"
#include "config/configuration.h"

#include <algorithm>
#include <cmath>

namespace ambrel::sim {

namespace {

quint8 Byte(const QByteArray& data, int i) {
    return static_cast<quint8>(data.at(i));
}

QByteArray Bytes(std::initializer_list<int> values) {
    TByteQueue q;
    for (const int v : values)
        q.WriteByte(v);
    return q.GetData();
}

int Hundredths(double v) {
    return static_cast<int>(std::lround(v * 100));
}

// A stored freeze frame: what the engine was doing when the first code was set.
struct TFreezeFrame {
    int Rpm = 2450;
    double WaterC = 82.0;
    double GasC = 31.0;
    int PressureMbar = 1180;
    int MapMbar = 620;
    double Lambda1V = 0.62;
    double Lambda2V = 0.31;
    double Trim1Pct = 4.2;
    double Trim2Pct = -1.5;
    int PetrolUs[2] = {6850, 6790};
    int GasUs[2] = {9710, 9640};
    double LevelPct = 61.0;
    int EngineState = engineOn;
    int PowerMode = powerGas;
    double SystemTimeS = 3723.52;
    bool OnPetrol = false;
};

} // namespace

const QList<TSimEcu::TCommandEntry>& TSimEcu::CommandHandlers() {
    static const QList<TCommandEntry> table = {
        {cmdWriteBlock, &TSimEcu::OnWriteBlock},
        {cmdReadBlock, &TSimEcu::OnReadBlock},
        {cmdReadStatus, &TSimEcu::OnReadStatus},
        {cmdTroubleCodes, &TSimEcu::OnTroubleCodes},
        {cmdReadComErrors, &TSimEcu::OnReadComErrors},
        {cmdReadIdent, &TSimEcu::OnReadIdent},
        {cmdCheckConnection, &TSimEcu::OnCheckConnection},
        {cmdResetECU, &TSimEcu::OnResetECU},
        {cmdReadStatusMin, &TSimEcu::OnReadStatusMin},
        {cmdFuelSwitch, &TSimEcu::OnFuelSwitch},
        {cmdStrategy, &TSimEcu::OnStrategy},
        {cmdCounters, &TSimEcu::OnCounters},
        {cmdReadDTCStatus, &TSimEcu::OnReadDTCStatus},
        {cmdVIN, &TSimEcu::OnVIN},
        {cmdReadStatusExt, &TSimEcu::OnReadStatusExt},
        {cmdTestMode, &TSimEcu::OnTestMode},
        {cmdTestCommand, &TSimEcu::OnTestCommand},
        {cmdReadFreezeFrame, &TSimEcu::OnReadFreezeFrame},
        {cmdSolenoidDisable, &TSimEcu::OnSolenoidDisable},
        {cmdSolenoidTest, &TSimEcu::OnSolenoidTest},
        {cmdReadTable32, &TSimEcu::OnReadTable32},
        {cmdReadOBD, &TSimEcu::OnReadOBD},
        {cmdReadOBD2, &TSimEcu::OnReadOBD2},
        {cmdWriteMemory, &TSimEcu::OnWriteMemory},
        {cmdReadMemory, &TSimEcu::OnReadMemory},
    };
    return table;
}

// The configuration as the ECU leaves the factory bench: the workbench's own defaults
// for an LPG car under the ECU's strategy, encoded by the configuration model, with
// block 1 naming a demo car. Writes replace blocks whole and reads answer what is held.
void TSimEcu::ResetBlocks() {
    m_blocks.clear();
    TConfiguration defaults;
    defaults.StrategyFlag = m_strategy == TStrategy::Compensated ? strategyCompensated : strategySlave;
    defaults.ApplyDefaults(fuelLPG, false, QStringLiteral("Untitled.cfg"));
    defaults.CarMake = QStringLiteral("SIMULATED");
    defaults.CarModel = QStringLiteral("Demo 1.4 16V");
    defaults.ConfigDate = QStringLiteral("150324");
    TRawData image;
    defaults.EncodeImage(image.Record);
    for (int block = 1; block <= kBlockCount; ++block)
        for (int bank = 1; bank <= (IsBankedBlock(block) ? 2 : 1); ++bank)
            m_blocks.insert(BlockKey(block, bank), image.BuildBlock(block, bank));
}

std::optional<QByteArray> TSimEcu::OnWriteBlock(const QByteArray& data) {
    if (data.isEmpty())
        return std::nullopt;
    const int block = Byte(data, 0);
    // Only a whole image of a known block is taken; anything else would leave the ECU
    // with a configuration of the wrong shape.
    if (BlockImageSize(block) == 0 || data.size() != BlockImageSize(block))
        return std::nullopt;
    const int bank = IsBankedBlock(block) && Byte(data, 1) != 1 ? 2 : 1;
    m_blocks.insert(BlockKey(block, bank), data);
    return QByteArray();
}

std::optional<QByteArray> TSimEcu::OnReadBlock(const QByteArray& data) {
    if (data.isEmpty())
        return std::nullopt;
    const int block = Byte(data, 0);
    if (BlockImageSize(block) == 0 || (IsBankedBlock(block) && data.size() < 2))
        return std::nullopt;
    const int bank = IsBankedBlock(block) && Byte(data, 1) != 1 ? 2 : 1;
    return m_blocks.value(BlockKey(block, bank));
}

TEngineValues TSimEcu::Snapshot() const {
    TEngineValues v = m_engine.Values();
    if (m_solenoidTestOn || m_testSolenoid)
        v.SolenoidOpen = true;
    if (m_testMode) {
        v.GasInjectorMask |= m_testGasInjectors;
        if (m_lambdaEmulation) {
            v.EmulatedLambda1V = m_emulatedLambdaTenths[0] / 10.0;
            v.EmulatedLambda2V = m_emulatedLambdaTenths[1] / 10.0;
        }
    }
    return v;
}

std::optional<QByteArray> TSimEcu::OnReadStatus(const QByteArray&) {
    return StatusRecord(RawMeasures(Snapshot()));
}

std::optional<QByteArray> TSimEcu::OnReadStatusMin(const QByteArray&) {
    return StatusMinRecord(RawMeasures(Snapshot()));
}

std::optional<QByteArray> TSimEcu::OnReadStatusExt(const QByteArray&) {
    return StatusExtRecord(RawMeasures(Snapshot()));
}

std::optional<QByteArray> TSimEcu::OnReadTable32(const QByteArray&) {
    return InjectionTable(m_engine.Values());
}

std::optional<QByteArray> TSimEcu::OnTroubleCodes(const QByteArray& data) {
    if (data.isEmpty())
        return std::nullopt;
    TByteQueue q;
    switch (Byte(data, 0)) {
    case 1:
        q.WriteByte(1);
        q.WriteByte(0);
        for (const auto& dtc : m_dtcs)
            q.WriteWord(dtc.Code);
        return q.GetData();
    case 2:
        m_dtcs.clear();
        m_freezeFrameStored = false;
        return Bytes({2});
    default:
        return std::nullopt;
    }
}

std::optional<QByteArray> TSimEcu::OnReadDTCStatus(const QByteArray&) {
    TByteQueue q;
    q.WriteByte(m_dtcs.size());
    for (const auto& dtc : m_dtcs) {
        q.WriteWord(dtc.Code);
        q.WriteByte(dtc.Status);
    }
    return q.GetData();
}

std::optional<QByteArray> TSimEcu::OnReadComErrors(const QByteArray&) {
    TByteQueue q;
    if (m_comErrors.isEmpty())
        q.WriteWord(0x0000); // "no error"
    for (const quint16 code : m_comErrors)
        q.WriteWord(code);
    return q.GetData();
}

std::optional<QByteArray> TSimEcu::OnReadIdent(const QByteArray&) {
    return m_ident;
}

std::optional<QByteArray> TSimEcu::OnCheckConnection(const QByteArray&) {
    return QByteArray();
}

std::optional<QByteArray> TSimEcu::OnResetECU(const QByteArray&) {
    // What a restart undoes; the boot text itself is scheduled with the answer.
    LeaveTestMode();
    m_solenoidTestOn = false;
    m_engine.SetSolenoidDisabled(false);
    return QByteArray();
}

std::optional<QByteArray> TSimEcu::OnFuelSwitch(const QByteArray& data) {
    if (data.isEmpty() || (Byte(data, 0) != 1 && Byte(data, 0) != 2))
        return std::nullopt;
    m_engine.PressFuelSwitch();
    return QByteArray();
}

std::optional<QByteArray> TSimEcu::OnStrategy(const QByteArray& data) {
    if (data.isEmpty())
        return std::nullopt;
    switch (Byte(data, 0)) {
    case 1:
        SetStrategy(TStrategy::Slave);
        break;
    case 2:
        SetStrategy(TStrategy::Compensated);
        break;
    case 3:
        break;
    default:
        return std::nullopt;
    }
    return Bytes({static_cast<int>(m_strategy)});
}

std::optional<QByteArray> TSimEcu::OnCounters(const QByteArray& data) {
    if (data.isEmpty())
        return std::nullopt;
    const int action = Byte(data, 0);
    if (action == 2) {
        SetCounters({});
    } else if (action == 3) {
        TByteQueue in(data.mid(1));
        quint32 cycles = 0, gas = 0, petrol = 0;
        if (!in.ReadLongWord(cycles) || !in.ReadLongWord(gas) || !in.ReadLongWord(petrol))
            return std::nullopt;
        SetCounters({cycles, gas, petrol});
    } else if (action != 1) {
        return std::nullopt;
    }
    const TEcuCounters c = Counters();
    TByteQueue q;
    q.WriteByte(action);
    for (const quint32 v : {c.DrivingCycles, c.MinutesOnGas, c.MinutesOnPetrol}) {
        q.WriteWord(v & 0xFFFF);
        q.WriteWord(v >> 16);
    }
    return q.GetData();
}

std::optional<QByteArray> TSimEcu::OnVIN(const QByteArray& data) {
    if (data.isEmpty())
        return std::nullopt;
    if (Byte(data, 0) == 2)
        return QByteArray(1, '\x02') + m_vin;
    if (Byte(data, 0) == 1 && data.size() == 18) {
        m_vin = data.mid(1);
        return Bytes({1});
    }
    return std::nullopt;
}

// Leaving test mode gives the outputs back to the ECU's normal control.
void TSimEcu::LeaveTestMode() {
    m_testMode = false;
    m_testSolenoid = false;
    m_testGasInjectors = 0;
    m_petrolConnected = true;
    m_lambdaEmulation = false;
    m_switchLeds = 0;
    m_emulatedLambdaTenths = {};
}

std::optional<QByteArray> TSimEcu::OnTestMode(const QByteArray& data) {
    if (data.isEmpty())
        return std::nullopt;
    if (Byte(data, 0) == 1) {
        m_testMode = true;
        return Bytes({1});
    }
    if (Byte(data, 0) == 2) {
        LeaveTestMode();
        return Bytes({2});
    }
    return std::nullopt;
}

std::optional<int> TSimEcu::AnalogChannelValue(int channel) const {
    const TEngineValues v = m_engine.Values();
    // Temperature senders read lower the warmer they are.
    const auto ntc = [](double c) { return 2.5 - 0.02 * (c - 20); };
    double volts = 0;
    switch (channel) {
    case 4:
    case 7:
        volts = 0;
        break; // ground
    case 5:
        volts = v.Lambda1V;
        break; // lambda probe bank 1
    case 6:
    case 9:
        volts = v.SupplyV;
        break; // switch and sensor power
    case 8:
        volts = v.BatteryV;
        break;
    case 10:
        volts = v.TpsVolts;
        break;
    case 11:
        volts = 0.2 + 0.0045 * v.MapMbar;
        break; // MAP sensor output
    case 12:
        volts = v.LevelSensorV;
        break;
    case 13:
        volts = ntc(v.GasTempC);
        break;
    case 14:
        volts = ntc(v.ReducerTempC);
        break;
    case 15:
        volts = 0.5 + 0.002 * v.GasPressureMbar;
        break; // differential pressure
    case 16:
    case 17:
    case 18:
    case 19:
        volts = v.InjectorCurrentA[static_cast<std::size_t>(channel - 16)];
        break;
    case 20:
    case 21:
    case 22:
    case 23:
        volts = 0;
        break;
    default:
        return std::nullopt;
    }
    return Hundredths(volts);
}

std::optional<QByteArray> TSimEcu::OnTestCommand(const QByteArray& data) {
    // Outside test mode the outputs belong to the ECU: it refuses to be driven.
    if (!m_testMode || data.isEmpty())
        return std::nullopt;
    const int sub = Byte(data, 0);
    const auto needs = [&data](int n) { return data.size() >= 1 + n; };
    const TEngineValues v = m_engine.Values();
    TByteQueue q;
    q.WriteByte(sub);
    switch (sub) {
    case testSolenoid:
        if (!needs(1))
            return std::nullopt;
        m_testSolenoid = Byte(data, 1) != 0;
        q.WriteByte(m_testSolenoid ? 1 : 0);
        break;
    case testGasInjector: {
        if (!needs(2) || Byte(data, 1) > 7)
            return std::nullopt;
        const auto bit = static_cast<quint8>(1u << Byte(data, 1));
        m_testGasInjectors = static_cast<quint8>(Byte(data, 2) != 0 ? (m_testGasInjectors | bit)
                                                                    : (m_testGasInjectors & ~bit));
        q.WriteByte(m_testGasInjectors);
        break;
    }
    case testPetrolInputs:
        q.WriteByte(v.PetrolInjectorMask);
        break;
    case testPetrolCut:
        if (!needs(1))
            return std::nullopt;
        m_petrolConnected = Byte(data, 1) != 0;
        q.WriteByte(m_petrolConnected ? 1 : 0);
        break;
    case testLambdaEmulation:
        if (!needs(1))
            return std::nullopt;
        m_lambdaEmulation = Byte(data, 1) != 0;
        q.WriteByte(m_lambdaEmulation ? 1 : 0);
        break;
    case testSwitchLeds:
        if (!needs(1) || Byte(data, 1) > 9)
            return std::nullopt;
        m_switchLeds = Byte(data, 1);
        break;
    case testButton:
        q.WriteByte(0);
        break; // nobody presses it in the simulation
    case testLambdaVoltage:
        if (!needs(2) || Byte(data, 1) > 1)
            return std::nullopt;
        m_emulatedLambdaTenths[Byte(data, 1)] = Byte(data, 2);
        break;
    case testAnalogInput: {
        if (!needs(1))
            return std::nullopt;
        const auto value = AnalogChannelValue(Byte(data, 1));
        if (!value)
            return std::nullopt;
        q.WriteByte(Byte(data, 1));
        q.WriteWord(*value);
        break;
    }
    case testRpmPresent:
        q.WriteByte(v.Rpm > 0 ? 1 : 0);
        break;
    case testRpmPeriod: // one revolution, in hundredths of a millisecond
        q.WriteWord(v.Rpm > 0 ? std::lround(6000000.0 / v.Rpm) : 0);
        break;
    default:
        return std::nullopt;
    }
    return q.GetData();
}

std::optional<QByteArray> TSimEcu::OnReadFreezeFrame(const QByteArray&) {
    TByteQueue q;
    if (!m_freezeFrameStored || m_dtcs.isEmpty()) {
        q.WriteWord(0); // nothing stored
        return q.GetData();
    }
    const TFreezeFrame f;
    const auto temp = [](double c) { return std::lround((c + 20) * 4); };
    const auto trim = [](double pct) { return std::lround(32768 * (1 + pct / 100)); };
    const auto systemTime = static_cast<quint32>(std::lround(f.SystemTimeS * 100000 / 1024));
    q.WriteWord(m_dtcs.front().Code);
    q.WriteWord(f.Rpm);
    q.WriteWord(temp(f.WaterC));
    q.WriteWord(temp(f.GasC));
    q.WriteWord(f.PressureMbar);
    q.WriteWord(f.MapMbar);
    q.WriteByte(std::lround(f.Lambda1V * 255));
    q.WriteByte(std::lround(f.Lambda2V * 255));
    q.WriteWord(trim(f.Trim1Pct));
    q.WriteWord(trim(f.Trim2Pct));
    q.WriteWord(f.PetrolUs[0]);
    q.WriteWord(f.PetrolUs[1]);
    q.WriteWord(f.GasUs[0]);
    q.WriteWord(f.GasUs[1]);
    q.WriteWord(std::lround(f.LevelPct * 255 / 100));
    q.WriteByte(f.EngineState);
    q.WriteByte(f.PowerMode);
    q.WriteWord(systemTime & 0xFFFF);
    q.WriteWord(systemTime >> 16);
    q.WriteByte(f.OnPetrol ? 1 : 0);
    return q.GetData();
}

std::optional<QByteArray> TSimEcu::OnSolenoidDisable(const QByteArray& data) {
    if (data.isEmpty() || Byte(data, 0) > 1)
        return std::nullopt;
    m_engine.SetSolenoidDisabled(Byte(data, 0) == 1);
    return QByteArray();
}

std::optional<QByteArray> TSimEcu::OnSolenoidTest(const QByteArray& data) {
    if (data.isEmpty() || Byte(data, 0) > 1)
        return std::nullopt;
    m_solenoidTestOn = Byte(data, 0) == 1;
    return QByteArray();
}

// The car's coolant, which heats the gas reducer: it warms ahead of the reducer and its
// thermostat holds it at 90 degC once the reducer has reached 68.
static double CoolantC(const TEngineValues& v) {
    return 20 + std::min(70.0, (v.ReducerTempC - 20) * 70.0 / 48.0);
}

// The car's own diagnostics as the ECU passes them on: mode 01 answers as they came off
// the car's diagnostic line, each "41 PID A [B]". The values agree with the scan-tool
// record of the same moment.
std::optional<QByteArray> TSimEcu::OnReadOBD(const QByteArray&) {
    const TEngineValues v = m_engine.Values();
    const bool running = v.Rpm > 0 && v.EngineState == engineOn;
    const int rpm4 = v.Rpm * 4;
    return Bytes({0x41, 0x04, static_cast<int>(std::lround(255 * v.MapMbar / 1013 * (running ? 1 : 0))),
                  0x41, 0x05, static_cast<int>(std::lround(CoolantC(v) + 40)),
                  0x41, 0x0B, static_cast<int>(std::lround(v.MapMbar / 10)),
                  0x41, 0x0C, rpm4 >> 8, rpm4 & 0xFF,
                  0x41, 0x0D, 0,
                  0x41, 0x0F, static_cast<int>(std::lround(v.GasTempC + 40)),
                  0x41, 0x11, static_cast<int>(std::lround(v.Throttle * 255))});
}

std::optional<QByteArray> TSimEcu::OnReadOBD2(const QByteArray&) {
    const TEngineValues v = m_engine.Values();
    // The parameters this car supports; parameter p is bit 32 - p.
    quint32 mask = 0;
    for (const int p : {0x01, 0x03, 0x04, 0x06, 0x07, 0x0B, 0x0C, 0x0D, 0x0E})
        mask |= 1u << (32 - p);
    const bool running = v.Rpm > 0 && v.EngineState == engineOn;
    const bool closedLoop = running && v.Lambda1V != 0.45;
    const auto trim = [](double pct) { return static_cast<int>(std::lround(128 + pct * 1.28)); };
    TByteQueue q;
    q.WriteWord(0x0041);
    q.WriteWord(mask & 0xFFFF);
    q.WriteWord(mask >> 16);
    q.WriteByte(0);                                                       // stored codes
    q.WriteByte(0);                                                       // MIL off
    q.WriteByte(running ? (closedLoop ? 2 : 1) : 0);                      // fuel system 1
    q.WriteByte(0);                                                       // fuel system 2
    q.WriteByte(std::lround(255 * v.MapMbar / 1013 * (running ? 1 : 0))); // load
    q.WriteByte(trim(v.OnPetrol ? 0 : -v.FuelTrim1Pct));                  // the car's ECU sees the kit's work
    q.WriteByte(trim(1.6));
    q.WriteByte(128);
    q.WriteByte(128);
    q.WriteByte(std::lround(v.MapMbar / 10)); // kPa
    q.WriteWord(v.Rpm * 4);
    q.WriteByte(0); // standing still
    q.WriteByte(running ? std::lround((10 + 15 * v.Throttle + 64) * 2) : 128);
    return q.GetData();
}

std::optional<QByteArray> TSimEcu::OnWriteMemory(const QByteArray& data) {
    if (data.size() < 4)
        return std::nullopt;
    const auto address = static_cast<quint32>(Byte(data, 0) | Byte(data, 1) << 8 | Byte(data, 2) << 16);
    const int count = Byte(data, 3);
    if (data.size() != 4 + count)
        return std::nullopt;
    for (int i = 0; i < count; ++i)
        WriteMemoryByte(address + static_cast<quint32>(i), Byte(data, 4 + i));
    return QByteArray();
}

std::optional<QByteArray> TSimEcu::OnReadMemory(const QByteArray& data) {
    if (data.size() != 4)
        return std::nullopt;
    const int size = Byte(data, 3);
    if (size != 1 && size != 2 && size != 4)
        return std::nullopt;
    const auto address = static_cast<quint32>(Byte(data, 0) | Byte(data, 1) << 8 | Byte(data, 2) << 16);
    QByteArray answer = data.left(4);
    for (int i = 0; i < size; ++i)
        answer.append(static_cast<char>(MemoryByte(address + static_cast<quint32>(i))));
    return answer;
}

} // namespace ambrel::sim
