// The grid clipboard's model side: copying blocks as values and text, pasting blocks and
// text, and which maps take which.

#include "config/datamap.h"
#include "config/gridclipboard.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;
using T = TMapTypeOfData;

TEST(GridClipboard, CopiesUpToAWholeMap) {
    TDataMap map;
    TGridClipboard& clip = map.GridClipboard();
    EXPECT_TRUE(clip.CopyBlock(T::Benzina_banco1, 1, 9, 12, 1).has_value());
    EXPECT_EQ(clip.Values.size(), 108);
    EXPECT_FALSE(clip.Prepare(T::Benzina_banco1, 13, 9));
    EXPECT_TRUE(clip.IsEmpty());
    EXPECT_FALSE(clip.CopyBlock(T::Benzina_banco1, 1, 9, 13, 1).has_value());
    EXPECT_FALSE(clip.PasteBlock(T::Benzina_banco2, 1, 9, 12, 1));
}

TEST(GridClipboard, CopiedTextUsesTabsCrLfAndTheLocaleSeparator) {
    TDataMap map;
    map.SetValue(T::TempiGas_Comp_banco1, 2, 3, 1.5);
    map.SetValue(T::TempiGas_Comp_banco1, 2, 4, 2);
    TGridClipboard& clip = map.GridClipboard();
    EXPECT_EQ(clip.CopyBlock(T::TempiGas_Comp_banco1, 2, 4, 2, 3, QLocale::c()), QString("1.50\t2.00\r\n"));
    EXPECT_EQ(clip.CopyBlock(T::TempiGas_Comp_banco1, 2, 4, 2, 3, QLocale(QLocale::German)), QString("1,50\t2,00\r\n"));
    EXPECT_EQ(clip.Values, (QList<double>{1.5, 2}));
}

TEST(GridClipboard, PasteAnchorsAtTheSelectionAndStaysInsideIt) {
    TDataMap map;
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c)
            map.SetValue(T::Benzina_banco1, r, c, 10 * r + c);
    TGridClipboard& clip = map.GridClipboard();
    const QString text = *clip.CopyBlock(T::Benzina_banco1, 1, 3, 3, 1, QLocale::c());
    // One selected cell takes one value.
    EXPECT_TRUE(clip.PasteBlock(T::TempiGas_Comp_banco2, 5, 5, 5, 5));
    EXPECT_DOUBLE_EQ(map.GetValue(T::TempiGas_Comp_banco2, 5, 5), 11);
    EXPECT_NE(map.GetValue(T::TempiGas_Comp_banco2, 5, 6), 12);
    EXPECT_TRUE(map.UndoAvailable());
    // The same block as text fills 3 x 3 cells from the selected one.
    clip.PasteText(T::TempiGas_Comp_banco2, 7, 2, text, QLocale::c());
    EXPECT_DOUBLE_EQ(map.GetValue(T::TempiGas_Comp_banco2, 9, 4), 33);
    EXPECT_DOUBLE_EQ(map.GetValue(T::TempiGas_Comp_banco2, 7, 2), 11);
    // Incompatible: nothing pasted and no undo point.
    map.Undo();
    EXPECT_FALSE(clip.PasteBlock(T::Rapporti_Slave_banco1, 1, 9, 12, 1));
    EXPECT_FALSE(map.UndoAvailable());
}

TEST(GridClipboard, TextSplitting) {
    struct Case {
        const char* text;
        QList<QStringList> lines;
    };
    const Case cases[] = {
        {"1\t\t3", {{"1", "3"}}},
        {"1\t2\r\n\r\n3\t4\r\n", {{"1", "2"}, {"3", "4"}}},
        {"\n\n5", {{"5"}}},
        {"\"a\tb\"\t7", {{"\"a\tb\"", "7"}}},
        {"'x\ny'\t8", {{"'x\ny'", "8"}}},
        {"", {}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(TGridClipboard::SplitText(QString::fromLatin1(k.text)), k.lines) << k.text;
    TDataMap map;
    map.GridClipboard().PasteText(T::CorrPressioneGas, 0, 14, "1\tx\t3\t4", QLocale::c());
    EXPECT_DOUBLE_EQ(map.GetAxisValue(T::CorrPressioneGas, 14), 1);
    EXPECT_DOUBLE_EQ(map.GetAxisValue(T::CorrPressioneGas, 15), -7); // "x" skipped, 3 and 4 fall off
}

TEST(GridClipboard, CompatibleGroups) {
    struct Case {
        T source;
        T target;
        bool ok;
    };
    const Case cases[] = {
        {T::Benzina_banco1, T::TempiGas_Comp_banco2, true}, {T::Benzina_banco1, T::Rapporti_Slave_banco1, false},
        {T::Giri_Slave, T::Giri_Emulazione, true},          {T::MAP_Benzina, T::MAP_Comp, true},
        {T::TemperaturaGas, T::TemperaturaCicchetto, true}, {T::CorrTemperaturaGas, T::CorrPressioneGas, true},
        {T::TempiGas_Slave_banco1, T::TempiGas_Slave_banco1, true},
        {T::TempiGas_Slave_banco1, T::TempiGas_Slave_banco2, false},
        {T::SensoriMAP, static_cast<T>(39), false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(TGridClipboard::IsCompatible(k.source, k.target), k.ok)
            << static_cast<int>(k.source) << "->" << static_cast<int>(k.target);
}
