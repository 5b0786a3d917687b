#pragma once
// The wiring reference: the function of each of the 56 pins of the ECU's connector on the
// two boards the workbench knows, and which board an ECU family has.

#include <QString>
#include <QStringList>
#include <array>

namespace ambrel {

inline constexpr int kConnectorPins = 56;
// The four columns of the connector picture hold 14 pins each.
inline constexpr int kPinsPerColumn = 14;

struct TPinBoard {
    const char* Name;
    std::array<const char*, kConnectorPins> Pins; // pin 1 first
};

// Position 0 "TOLA-04 K27B51T6", position 1 "WUX-04 K35F62T9", as the board list shows them.
const std::array<TPinBoard, 2>& PinBoards();
// The board of an ECU family: family 0 has position 1, family 1 position 0.
int BoardForFamily(int ecuFamily);
// " 1 : KEY VOLTAGE IN", "15 : RPM IN"; empty outside 1 ... 56 or for an unknown board.
QString PinLine(int board, int pin);
// The lines of one column (0 ... 3: pins 1-14, 15-28, 29-42, 43-56).
QStringList PinColumn(int board, int column);
// Height of the marker of the pin at `index` (0 ... 13) in its column, between the heights
// of the column's first and last pins.
int MarkerTop(int first, int last, int index);

} // namespace ambrel
