#include "pinout.h"

namespace ambrel {

const std::array<TPinBoard, 2>& PinBoards() {
    static constexpr std::array<TPinBoard, 2> boards = {{
        {"TOLA-04 K27B51T6", {{
        "INJECTOR 1 IN", "INJECTOR 2 IN", "INJECTOR 3 IN", "INJECTOR 4 IN",
        "KEY VOLTAGE IN", "GAS TEMP IN", "not used", "PRESSURE SENS IN",
        "PRES SEN 5V POWER", "PC INTERFACE (L)", "PC INT 12V POWER", "not used (can h)",
        "LAMBDA IN", "not used", "BATTERY VOLTAGE", "not used (led1)",
        "not used (led2)", "LEVEL SENDER IN", "LEVEL SEN 5V POWER", "not used",
        "LEVEL SENDER GND", "GND", "not used", "GAS SOLENOID OUT",
        "GND", "GAS INJ 12V POWER", "INJECTOR A NEG", "INJECTOR B NEG",
        "INJECTOR 1 CUT", "INJECTOR 2 CUT", "INJECTOR 3 CUT", "INJECTOR 4 CUT",
        "WATER TEMP IN", "TEMP SENS GND", "MAP SENSOR IN", "TPS IN",
        "PRESS SENS GND", "PC INTERFACE (K)", "PC INTERFACE GND", "not used (can l)",
        "LAMBDA EMULATION", "RPM IN", "BATTERY VOLTAGE", "not used (led3)",
        "not used (led4)", "not used (buzzer)", "SWITCH - SERIAL LINE", "SWITCH - BUTTON IN",
        "SWITCH - 5V POWER", "SWITCH - GND", "not used", "GAS SOLENOID GND",
        "GND", "GAS INJ 12V POWER", "INJECTOR C NEG", "INJECTOR D NEG"
        }}},
        {"WUX-04 K35F62T9", {{
        "KEY VOLTAGE IN", "INJECTOR B NEG", "INJECTOR D NEG", "INJECTOR F NEG",
        "INJECTOR H NEG", "GAS SOLENOID OUT", "WATER TEMP IN", "SWITCH - LINE OUT",
        "GND", "GND", "LAMBDA 1 - ECU EMUL", "SWITCH - BUTTON IN",
        "PC INTERFACE (K)", "not used (can h)", "RPM IN", "LAMBDA 1 - SENSOR",
        "not used (ref1)", "PRESSURE SENS IN", "not used (led3)", "not used (led4)",
        "INJECTOR 7", "INJECTOR 7 ECU", "INJECTOR 8", "INJECTOR 8 ECU",
        "INJECTOR 4", "INJECTOR 4 ECU", "INJECTOR 3", "INJECTOR 3 ECU",
        "BATTERY IN", "INJECTOR A NEG", "INJECTOR C NEG", "INJECTOR E NEG",
        "INJECTOR G NEG", "5V POWER OUT", "GAS TEMP IN", "TPS IN",
        "GND", "GND", "LAMBDA 2 - ECU EMUL", "GND",
        "PC INTERFACE (L)", "not used (can l)", "MAP SENSOR IN", "LAMBDA 2 - SENSOR",
        "not used (ref2)", "LEVEL SENDER IN", "not used (led2)", "not used (led1)",
        "INJECTOR 5", "INJECTOR 5 ECU", "INJECTOR 6 ECU", "INJECTOR 6",
        "INJECTOR 2", "INJECTOR 2 ECU", "INJECTOR 1", "INJECTOR 1 ECU"
        }}},
    }};
    return boards;
}

int BoardForFamily(int ecuFamily) {
    return ecuFamily == 0 ? 1 : 0;
}

QString PinLine(int board, int pin) {
    if (board < 0 || board >= static_cast<int>(PinBoards().size()) || pin < 1 || pin > kConnectorPins)
        return {};
    return QStringLiteral("%1 : %2")
        .arg(pin, 2)
        .arg(QString::fromLatin1(PinBoards()[static_cast<size_t>(board)].Pins[static_cast<size_t>(pin - 1)]));
}

QStringList PinColumn(int board, int column) {
    QStringList lines;
    if (column < 0 || column >= kConnectorPins / kPinsPerColumn)
        return lines;
    for (int i = 0; i < kPinsPerColumn; ++i)
        lines << PinLine(board, column * kPinsPerColumn + i + 1);
    return lines;
}

int MarkerTop(int first, int last, int index) {
    return first + index * (last - first) / (kPinsPerColumn - 1);
}

} // namespace ambrel
