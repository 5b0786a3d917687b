#include "gridclipboard.h"

#include "datamap.h"

#include <initializer_list>

namespace ambrel {

bool TGridClipboard::Prepare(TMapTypeOfData source, int rows, int cols) {
    Cursor = 0;
    if (rows < 1 || cols < 1 || rows * cols > kMaxCells) {
        Rows = Cols = 0;
        Values.clear();
        return false;
    }
    SourceType = source;
    Rows = rows;
    Cols = cols;
    Values = QList<double>(rows * cols, 0.0);
    return true;
}

void TGridClipboard::Push(double value) {
    if (Cursor >= 0 && Cursor < Values.size())
        Values[Cursor] = value;
    ++Cursor;
}

double TGridClipboard::Pop() {
    const double v = (Cursor >= 0 && Cursor < Values.size()) ? Values[Cursor] : 0.0;
    ++Cursor;
    return v;
}

std::optional<QString> TGridClipboard::CopyBlock(TMapTypeOfData type, int top, int right, int bottom, int left,
                                                 const QLocale& locale) {
    if (!Prepare(type, bottom - top + 1, right - left + 1))
        return std::nullopt;
    QString text;
    for (int row = top; row <= bottom; ++row) {
        for (int col = left; col <= right; ++col) {
            const double v = m_model.GetValue(type, row, col);
            Push(v);
            text += QString::asprintf("%4.2f", v).replace(QLatin1Char('.'), locale.decimalPoint());
            text += col < right ? QStringLiteral("\t") : QStringLiteral("\r\n");
        }
    }
    return text;
}

bool TGridClipboard::PasteBlock(TMapTypeOfData target, int top, int right, int bottom, int left) {
    Clear();
    if (IsEmpty() || !IsCompatible(SourceType, target))
        return false;
    m_model.SaveUndoPoint();
    for (int i = 0; i < Rows; ++i)
        for (int j = 0; j < Cols; ++j) {
            const double v = Pop();
            if (top + i <= bottom && left + j <= right)
                m_model.SetValue(target, top + i, left + j, v);
        }
    return true;
}

QList<QStringList> TGridClipboard::SplitText(const QString& text) {
    QList<QStringList> lines;
    QStringList cells;
    QString cell;
    QChar quote;
    const auto endCell = [&] {
        if (!cell.isEmpty())
            cells << cell;
        cell.clear();
    };
    const auto endLine = [&] {
        endCell();
        if (!cells.isEmpty())
            lines << cells;
        cells.clear();
    };
    for (const QChar c : text) {
        if (!quote.isNull()) {
            cell += c;
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\t')) {
            endCell();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            endLine();
        } else {
            if (c == QLatin1Char('"') || c == QLatin1Char('\''))
                quote = c;
            cell += c;
        }
    }
    endLine();
    return lines;
}

void TGridClipboard::PasteText(TMapTypeOfData target, int top, int left, const QString& text, const QLocale& locale) {
    Clear();
    m_model.SaveUndoPoint();
    const QList<QStringList> lines = SplitText(text);
    for (qsizetype i = 0; i < lines.size(); ++i)
        for (qsizetype j = 0; j < lines[i].size(); ++j) {
            bool ok = false;
            const double v = locale.toDouble(lines[i][j].trimmed(), &ok);
            if (ok)
                m_model.SetValue(target, top + static_cast<int>(i), left + static_cast<int>(j), v);
        }
}

bool TGridClipboard::IsCompatible(TMapTypeOfData source, TMapTypeOfData target) {
    const int s = static_cast<int>(source);
    const int t = static_cast<int>(target);
    if (t < 0 || t >= kMapTypeCount)
        return false;
    static const std::initializer_list<int> kGroups[] = {
        {0, 4, 8, 25}, {2, 3}, {5, 9}, {6, 7, 10, 11}, {12, 14, 19}, {13, 15, 17},
    };
    for (const auto& group : kGroups) {
        const bool hasSource = std::find(group.begin(), group.end(), s) != group.end();
        if (hasSource)
            return std::find(group.begin(), group.end(), t) != group.end();
    }
    return s == t;
}

} // namespace ambrel
