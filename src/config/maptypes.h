#pragma once
// The maps, axes and curves of the configuration, addressed by one enumeration so that a
// map grid needs to know nothing but the type it shows. The ordinal is what grids and
// callers store; rows and columns count from 1.

#include <QString>

namespace ambrel {

enum class TMapTypeOfData : int {
    Giri_Slave = 0,
    TempiBenzina_Slave,
    Rapporti_Slave_banco1,
    Rapporti_Slave_banco2,
    Giri_Benzina,
    MAP_Benzina,
    Benzina_banco1,
    Benzina_banco2,
    Giri_Comp,
    MAP_Comp,
    TempiGas_Comp_banco1,
    TempiGas_Comp_banco2,
    TemperaturaRiduttore,
    CorrTemperaturaRiduttore,
    TemperaturaGas,
    CorrTemperaturaGas,
    PressioneGas,
    CorrPressioneGas,
    RiferimentoSondaLambda,
    TemperaturaCicchetto,
    TempoCicchetto,
    LivelloGas,
    TempiGas_Slave_banco1,
    TempiGas_Slave_banco2,
    Ritardi_Emulazione,
    Giri_Emulazione,
    Carichi_Emulazione,
    AssegnazioneIniettori,
    PressioneIniettori,
    TensioneIniettori,
    TempoAperturaIniettori,
    SensoriVTempGas,
    SensoriTempGas,
    SensoriVTempAcqua,
    SensoriTempAcqua,
    SensoriVMAP,
    SensoriMAP,
    SensoriVPressione,
    SensoriPressione,
};

inline constexpr int kMapTypeCount = 39;

// Shape of a type: a one-dimensional table has Rows 1 and is indexed by column alone.
struct TMapShape {
    const char* Name;
    const char* Unit;
    int Rows;
    int Cols;
    bool Integer; // held as whole numbers (values set are truncated toward zero)
};

// The shape of every type, in ordinal order; nullptr for an ordinal outside 0..38.
const TMapShape* MapShape(int type);
inline const TMapShape* MapShape(TMapTypeOfData type) {
    return MapShape(static_cast<int>(type));
}
inline bool IsTwoDimensional(TMapTypeOfData type) {
    const TMapShape* s = MapShape(type);
    return s && s->Rows > 1;
}
QString MapTypeName(TMapTypeOfData type);

} // namespace ambrel
