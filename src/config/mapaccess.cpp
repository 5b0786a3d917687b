// The map operations: every map, axis and curve addressed by its type and 1-based indexes.

#include "configuration.h"

#include <algorithm>
#include <cmath>

namespace ambrel {

namespace {

using T = TMapTypeOfData;

constexpr TMapShape kShapes[kMapTypeCount] = {
    {"Giri_Slave", "rpm", 1, 9, true},
    {"TempiBenzina_Slave", "ms", 1, 12, false},
    {"Rapporti_Slave_banco1", "", 12, 9, false},
    {"Rapporti_Slave_banco2", "", 12, 9, false},
    {"Giri_Benzina", "rpm", 1, 9, true},
    {"MAP_Benzina", "mbar", 1, 12, false},
    {"Benzina_banco1", "ms", 12, 9, false},
    {"Benzina_banco2", "ms", 12, 9, false},
    {"Giri_Comp", "rpm", 1, 9, true},
    {"MAP_Comp", "mbar", 1, 12, false},
    {"TempiGas_Comp_banco1", "ms", 12, 9, false},
    {"TempiGas_Comp_banco2", "ms", 12, 9, false},
    {"TemperaturaRiduttore", "degC", 1, 9, false},
    {"CorrTemperaturaRiduttore", "%", 1, 9, false},
    {"TemperaturaGas", "degC", 1, 9, false},
    {"CorrTemperaturaGas", "%", 1, 9, false},
    {"PressioneGas", "mbar", 1, 15, false},
    {"CorrPressioneGas", "%", 1, 15, false},
    {"RiferimentoSondaLambda", "V", 1, 12, false},
    {"TemperaturaCicchetto", "degC", 1, 6, false},
    {"TempoCicchetto", "ms", 1, 6, false},
    {"LivelloGas", "V", 1, 4, false},
    {"TempiGas_Slave_banco1", "ms", 12, 9, false},
    {"TempiGas_Slave_banco2", "ms", 12, 9, false},
    {"Ritardi_Emulazione", "", 4, 12, false},
    {"Giri_Emulazione", "rpm", 1, 12, true},
    {"Carichi_Emulazione", "ms", 1, 4, false},
    {"AssegnazioneIniettori", "", 1, 8, true},
    {"PressioneIniettori", "mbar", 1, 11, true},
    {"TensioneIniettori", "V", 1, 8, false},
    {"TempoAperturaIniettori", "ms", 8, 11, false},
    {"SensoriVTempGas", "V", 1, 14, false},
    {"SensoriTempGas", "degC", 1, 14, true},
    {"SensoriVTempAcqua", "V", 1, 14, false},
    {"SensoriTempAcqua", "degC", 1, 14, true},
    {"SensoriVMAP", "V", 1, 14, false},
    {"SensoriMAP", "mbar", 1, 14, false},
    {"SensoriVPressione", "V", 1, 14, false},
    {"SensoriPressione", "mbar", 1, 14, false},
};

// Where one element lives: a real or an integer.
struct TCell {
    double* Real = nullptr;
    int* Integer = nullptr;
};

template <class A>
auto* At(A& a, int i) {
    return &a[static_cast<size_t>(i)];
}

// The stored element for (row, col), both already checked against the shape; nothing for
// the computed Slave gas times.
TCell Locate(TConfiguration& c, T type, int r, int k) {
    // r and k are zero-based here.
    switch (type) {
    case T::Giri_Slave: return {nullptr, At(c.Giri_Slave, k)};
    case T::TempiBenzina_Slave: return {At(c.TempiBenzina_Slave, k)};
    case T::Rapporti_Slave_banco1: return {At(*At(c.Rapporti_Slave_banco1, r), k)};
    case T::Rapporti_Slave_banco2: return {At(*At(c.Rapporti_Slave_banco2, r), k)};
    case T::Giri_Benzina: return {nullptr, At(c.Giri_Benzina, k)};
    case T::MAP_Benzina: return {At(c.MAP_Benzina, k)};
    case T::Benzina_banco1: return {At(*At(c.Benzina_banco1, r), k)};
    case T::Benzina_banco2: return {At(*At(c.Benzina_banco2, r), k)};
    case T::Giri_Comp: return {nullptr, At(c.Giri_Comp, k)};
    case T::MAP_Comp: return {At(c.MAP_Comp, k)};
    case T::TempiGas_Comp_banco1: return {At(*At(c.TempiGas_Comp_banco1, r), k)};
    case T::TempiGas_Comp_banco2: return {At(*At(c.TempiGas_Comp_banco2, r), k)};
    case T::TemperaturaRiduttore: return {At(c.TemperaturaRiduttore, k)};
    case T::CorrTemperaturaRiduttore: return {At(c.CorrTemperaturaRiduttore, k)};
    case T::TemperaturaGas: return {At(c.TemperaturaGas, k)};
    case T::CorrTemperaturaGas: return {At(c.CorrTemperaturaGas, k)};
    case T::PressioneGas: return {At(c.PressioneGas, k)};
    case T::CorrPressioneGas: return {At(c.CorrPressioneGas, k)};
    case T::RiferimentoSondaLambda: return {At(c.RiferimentoSondaLambda, k)};
    case T::TemperaturaCicchetto: return {At(c.TemperaturaCicchetto, k)};
    case T::TempoCicchetto: return {At(c.TempoCicchetto, k)};
    case T::LivelloGas: return {At(c.LivelloGas, k)};
    case T::TempiGas_Slave_banco1:
    case T::TempiGas_Slave_banco2: return {};
    case T::Ritardi_Emulazione: return {At(*At(c.Ritardi_Emulazione, r), k)};
    case T::Giri_Emulazione: return {nullptr, At(c.Giri_Emulazione, k)};
    case T::Carichi_Emulazione: return {At(c.Carichi_Emulazione, k)};
    case T::AssegnazioneIniettori: return {nullptr, At(c.AssegnazioneIniettori, k)};
    case T::PressioneIniettori: return {nullptr, At(c.PressioneIniettori, k)};
    case T::TensioneIniettori: return {At(c.TensioneIniettori, k)};
    case T::TempoAperturaIniettori: return {At(*At(c.TempoAperturaIniettori, r), k)};
    case T::SensoriVTempGas: return {At(c.SensoriVTempGas, k)};
    case T::SensoriTempGas: return {nullptr, At(c.SensoriTempGas, k)};
    case T::SensoriVTempAcqua: return {At(c.SensoriVTempAcqua, k)};
    case T::SensoriTempAcqua: return {nullptr, At(c.SensoriTempAcqua, k)};
    case T::SensoriVMAP: return {At(c.SensoriVMAP, k)};
    case T::SensoriMAP: return {At(c.SensoriMAP, k)};
    case T::SensoriVPressione: return {At(c.SensoriVPressione, k)};
    case T::SensoriPressione: return {At(c.SensoriPressione, k)};
    }
    return {};
}

// Zero-based (row, col) for a type, or false when the indexes leave its shape.
bool Index(T type, int row, int col, int& r, int& k) {
    const TMapShape* s = MapShape(type);
    if (!s || col < 1 || col > s->Cols)
        return false;
    if (s->Rows > 1 && (row < 1 || row > s->Rows))
        return false;
    r = s->Rows > 1 ? row - 1 : 0;
    k = col - 1;
    return true;
}

const TMap12x9& SlaveRatios(const TConfiguration& c, T type) {
    return type == T::TempiGas_Slave_banco1 ? c.Rapporti_Slave_banco1 : c.Rapporti_Slave_banco2;
}

// A whole number from a real, truncated toward zero and held to what an int can carry.
int Truncated(double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(std::trunc(v), -2.0e9, 2.0e9));
}

} // namespace

const TMapShape* MapShape(int type) {
    return (type >= 0 && type < kMapTypeCount) ? &kShapes[type] : nullptr;
}

QString MapTypeName(TMapTypeOfData type) {
    const TMapShape* s = MapShape(type);
    return s ? QString::fromLatin1(s->Name) : QString();
}

std::array<double, 4> LevelSensorThresholds(int levelSensor) {
    static constexpr std::array<std::array<double, 4>, 5> kFixed = {{
        {0.5, 0.8, 1.2, 1.4},
        {0.7, 1.6, 2.3, 3.1},
        {0.54, 1.1, 1.25, 1.56},
        {0.7, 1.4, 2.4, 3.8},
        {0.5, 0.76, 1.44, 1.89},
    }};
    return (levelSensor >= 0 && levelSensor < 5) ? kFixed[static_cast<size_t>(levelSensor)] : std::array<double, 4>{};
}

double TConfiguration::GetValue(TMapTypeOfData type, int row, int col) const {
    int r = 0, k = 0;
    if (!Index(type, row, col, r, k))
        return 0;
    if (type == T::TempiGas_Slave_banco1 || type == T::TempiGas_Slave_banco2)
        return SlaveRatios(*this, type)[static_cast<size_t>(r)][static_cast<size_t>(k)] *
                   TempiBenzina_Slave[static_cast<size_t>(r)] +
               Offset;
    if (type == T::LivelloGas && LevelSensor != 5 && LevelSensor != 6)
        return LevelSensorThresholds(LevelSensor)[static_cast<size_t>(k)];
    // The cell is only read; Locate needs a mutable object to hand out pointers.
    const TCell cell = Locate(const_cast<TConfiguration&>(*this), type, r, k);
    if (cell.Integer)
        return *cell.Integer;
    return cell.Real ? *cell.Real : 0;
}

bool TConfiguration::SetValue(TMapTypeOfData type, int row, int col, double value) {
    int r = 0, k = 0;
    if (!Index(type, row, col, r, k))
        return false;
    if (type == T::TempiGas_Slave_banco1 || type == T::TempiGas_Slave_banco2) {
        // The gas time is not stored: the ratio that gives it at this petrol time is.
        // A petrol time breakpoint of 0 has no such ratio; the value is refused rather
        // than storing an infinite ratio.
        const double petrol = TempiBenzina_Slave[static_cast<size_t>(r)];
        const double ratio = (value - Offset) / petrol;
        if (petrol == 0 || !std::isfinite(ratio))
            return false;
        auto& map = type == T::TempiGas_Slave_banco1 ? Rapporti_Slave_banco1 : Rapporti_Slave_banco2;
        map[static_cast<size_t>(r)][static_cast<size_t>(k)] = ratio;
        return true;
    }
    const TCell cell = Locate(*this, type, r, k);
    if (cell.Integer)
        *cell.Integer = Truncated(value);
    else if (cell.Real)
        *cell.Real = value;
    else
        return false;
    return true;
}

} // namespace ambrel
