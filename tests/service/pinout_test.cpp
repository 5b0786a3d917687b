// The connector tables of the two boards.

#include "service/pinout.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;

TEST(PinOut, BoardsByFamilyAndTheirPins) {
    const int wux = BoardForFamily(0);
    const int tola = BoardForFamily(1);
    EXPECT_STREQ(PinBoards()[static_cast<size_t>(wux)].Name, "WUX-04 K35F62T9");
    EXPECT_STREQ(PinBoards()[static_cast<size_t>(tola)].Name, "TOLA-04 K27B51T6");
    const struct {
        int Board;
        int Pin;
        const char* Line;
    } cases[] = {
        {wux, 1, " 1 : KEY VOLTAGE IN"},   {wux, 6, " 6 : GAS SOLENOID OUT"}, {wux, 15, "15 : RPM IN"},
        {wux, 56, "56 : INJECTOR 1 ECU"},  {tola, 6, " 6 : GAS TEMP IN"},     {tola, 42, "42 : RPM IN"},
        {tola, 56, "56 : INJECTOR D NEG"}, {wux, 0, ""},                      {tola, 57, ""},
        {2, 1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PinLine(c.Board, c.Pin), QString::fromLatin1(c.Line)) << c.Board << " " << c.Pin;
}

TEST(PinOut, ColumnsAndMarkers) {
    const QStringList column = PinColumn(0, 3);
    ASSERT_EQ(column.size(), 14);
    EXPECT_EQ(column.first(), "43 : BATTERY VOLTAGE");
    EXPECT_EQ(column.last(), "56 : INJECTOR D NEG");
    EXPECT_EQ(MarkerTop(20, 280, 0), 20);
    EXPECT_EQ(MarkerTop(20, 280, 13), 280);
    EXPECT_EQ(MarkerTop(20, 280, 1), 40);
}
