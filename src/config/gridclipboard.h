#pragma once
// TGridClipboard: rectangular blocks of map cells copied within the workbench, and the
// same blocks as tab-separated text for the system clipboard. The grid control and the
// system clipboard belong to the windows; this is the part that knows maps and values.

#include "maptypes.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <optional>

namespace ambrel {

class TDataMap;

class TGridClipboard {
public:
    // The most cells a block may hold: one whole 12 x 9 map.
    static constexpr int kMaxCells = 108;

    explicit TGridClipboard(TDataMap& model) : m_model(model) {}

    // Sizes the clipboard for a block; a block of more than 108 cells empties it instead
    // (false). The cursor starts again either way.
    bool Prepare(TMapTypeOfData source, int rows, int cols);
    void Clear() { Cursor = 0; }
    bool IsEmpty() const { return Rows == 0 && Cols == 0; }
    void Push(double value);
    // The value at the cursor, 0 past the end of the block.
    double Pop();

    // Copies the selected cells (rows top..bottom, columns left..right) and returns them
    // as text for the system clipboard: "%4.2f" with the locale's decimal separator, a tab
    // between cells and CR LF after each row. Nothing when the block is too large (the
    // system clipboard then keeps what it had).
    std::optional<QString> CopyBlock(TMapTypeOfData type, int top, int right, int bottom, int left,
                                     const QLocale& locale = QLocale());
    // Pastes the copied block at the selection's top-left cell; cells that would fall
    // outside the selection are skipped. False when there is nothing compatible to paste
    // (no undo point is taken then).
    bool PasteBlock(TMapTypeOfData target, int top, int right, int bottom, int left);
    // Pastes text from the system clipboard from the selected cell on: lines at CR and
    // LF, cells at tabs, empty lines and cells dropped, quotes keeping separators inside
    // them. Cells that are not numbers, or fall outside the map, are skipped.
    void PasteText(TMapTypeOfData target, int top, int left, const QString& text, const QLocale& locale = QLocale());
    static bool IsCompatible(TMapTypeOfData source, TMapTypeOfData target);
    // The text split as PasteText splits it.
    static QList<QStringList> SplitText(const QString& text);

    QList<double> Values;
    int Cursor = 0;
    int Rows = 0;
    int Cols = 0;
    TMapTypeOfData SourceType = TMapTypeOfData::Giri_Slave;

private:
    TDataMap& m_model;
};

} // namespace ambrel
