#include "formmemory.h"

#include "link/linkmanager.h"
#include "ui/main/dialogservice.h"

#include <QAbstractItemDelegate>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ambrel::ui {

namespace {

QTableWidget* MakeTable(QWidget* parent, const char* name, const QList<int>& widths) {
    auto* table = new QTableWidget(1, static_cast<int>(widths.size()), parent);
    table->setObjectName(QLatin1String(name));
    table->verticalHeader()->setDefaultSectionSize(22);
    table->verticalHeader()->setVisible(false);
    for (int i = 0; i < widths.size(); ++i)
        table->setColumnWidth(i, widths[i]);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    int width = 4;
    for (int w : widths)
        width += w;
    table->setMinimumWidth(width + table->verticalScrollBar()->sizeHint().width());
    table->setMinimumHeight(180);
    return table;
}

QString Cell(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

void SetCell(QTableWidget* table, int row, int column, const QString& text) {
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    }
    item->setText(text);
}

bool RowEmpty(const QTableWidget* table, int row) {
    for (int c = 0; c < table->columnCount(); ++c)
        if (!Cell(table, row, c).trimmed().isEmpty())
            return false;
    return true;
}

} // namespace

TFormMemory::TFormMemory(TLinkManager& link, TDialogService& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint), m_link(link),
      m_dialogs(dialogs), m_watch(link) {
    setObjectName(QStringLiteral("FormMemory"));

    m_readGroup = new QGroupBox(this);
    m_note = new QLabel(m_readGroup);
    m_read = MakeTable(m_readGroup, "TableRead", {100, 100, 50, 100});
    auto* readLayout = new QVBoxLayout(m_readGroup);
    readLayout->addWidget(m_note);
    readLayout->addWidget(m_read);

    m_writeGroup = new QGroupBox(this);
    m_write = MakeTable(m_writeGroup, "TableWrite", {100, 100, 100});
    m_writeButton = new QPushButton(m_writeGroup);
    m_writeButton->setObjectName(QStringLiteral("ButtonWrite"));
    auto* writeLayout = new QVBoxLayout(m_writeGroup);
    writeLayout->addWidget(m_write);
    writeLayout->addWidget(m_writeButton, 0, Qt::AlignRight);

    // Symbol and settings files are not defined for this ECU: the buttons are shown,
    // disabled, where the layout expects them.
    m_loadSym = new QPushButton(this);
    m_loadSym->setObjectName(QStringLiteral("ButtonLoadSym"));
    m_loadIni = new QPushButton(this);
    m_loadIni->setObjectName(QStringLiteral("ButtonLoadIni"));
    m_saveIni = new QPushButton(this);
    m_saveIni->setObjectName(QStringLiteral("ButtonSaveIni"));
    for (QPushButton* b : {m_loadSym, m_loadIni, m_saveIni})
        b->setEnabled(false);

    auto* tables = new QHBoxLayout;
    tables->addWidget(m_readGroup);
    tables->addWidget(m_writeGroup);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_loadSym);
    buttons->addWidget(m_loadIni);
    buttons->addWidget(m_saveIni);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tables);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_read, &QTableWidget::itemChanged, this, &TFormMemory::OnReadEdited);
    connect(m_write, &QTableWidget::itemChanged, this, &TFormMemory::OnWriteEdited);
    connect(m_writeButton, &QPushButton::clicked, this, &TFormMemory::Write);
    connect(&m_watch, &TMemoryWatch::ValueChanged, this, &TFormMemory::ShowValue);
    // The reads pause while a cell of the read table is edited, and go on when it is done.
    m_read->installEventFilter(this);
    connect(m_read, &QTableWidget::cellDoubleClicked, this, [this] {
        m_editing = true;
        m_watch.Stop();
    });
    connect(m_read->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        m_editing = false;
        if (isVisible())
            m_watch.Start();
    });

    SyncWatchRows();
    RetranslateUi();
}

void TFormMemory::RetranslateUi() {
    setWindowTitle(tr("Memory watch"));
    m_readGroup->setTitle(tr(" Read "));
    m_writeGroup->setTitle(tr(" Write "));
    m_note->setText(tr("Note: use 0x prefix for hex notation"));
    m_read->setHorizontalHeaderLabels({tr("Address"), tr("Symbol"), tr("Cnt"), tr("Val")});
    m_write->setHorizontalHeaderLabels({tr("Address"), tr("Symbol"), tr("Val")});
    m_writeButton->setText(tr("Write"));
    m_loadSym->setText(tr("Load .sym"));
    m_loadIni->setText(tr("Load .ini"));
    m_saveIni->setText(tr("Save .ini"));
    m_read->setAccessibleName(m_readGroup->title().trimmed());
    m_write->setAccessibleName(m_writeGroup->title().trimmed());
}

void TFormMemory::SyncWatchRows() {
    QList<TWatchRow>& rows = m_watch.Rows();
    rows.resize(m_read->rowCount());
    for (int r = 0; r < m_read->rowCount(); ++r) {
        rows[r].Address = Cell(m_read, r, ReadAddress);
        rows[r].Symbol = Cell(m_read, r, ReadSymbol);
        rows[r].Count = Cell(m_read, r, ReadCount);
    }
}

void TFormMemory::OnReadEdited(QTableWidgetItem* item) {
    const QSignalBlocker block(m_read);
    const int row = item->row();
    if (item->column() == ReadAddress) {
        if (const auto address = ParseMemoryAddress(item->text()))
            item->setText(FormatMemoryAddress(*address));
    }
    if (item->column() != ReadValue) {
        // A changed location shows nothing until the ECU answered for it.
        SetCell(m_read, row, ReadValue, QString());
    }
    // The last row is always the empty one in which the next entry is typed.
    if (row == m_read->rowCount() - 1 && !RowEmpty(m_read, row))
        m_read->insertRow(m_read->rowCount());
    SyncWatchRows();
}

void TFormMemory::OnWriteEdited(QTableWidgetItem* item) {
    const QSignalBlocker block(m_write);
    const int row = item->row();
    if (item->column() == WriteAddress) {
        if (const auto address = ParseMemoryAddress(item->text()))
            item->setText(FormatMemoryAddress(*address));
    }
    if (row == m_write->rowCount() - 1 && !RowEmpty(m_write, row)) {
        m_write->insertRow(m_write->rowCount());
        // The next byte goes to the next address: offer it.
        const auto address = ParseMemoryAddress(Cell(m_write, row, WriteAddress));
        if (address && *address < kMaxMemoryAddress)
            SetCell(m_write, row + 1, WriteAddress, FormatMemoryAddress(*address + 1));
    }
}

void TFormMemory::ShowValue(int row) {
    if (row < 0 || row >= m_read->rowCount())
        return;
    const QSignalBlocker block(m_read);
    SetCell(m_read, row, ReadValue, m_watch.Rows().at(row).Value);
    auto* item = m_read->item(row, ReadValue);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
}

void TFormMemory::Write() {
    // The entry rows: all but the trailing rows without a value (the row the next entry
    // is typed in, and a next address offered but not filled).
    int last = m_write->rowCount() - 1;
    while (last >= 0 && Cell(m_write, last, WriteValue).trimmed().isEmpty())
        --last;
    QList<TWriteRow> rows;
    for (int r = 0; r <= last; ++r)
        rows.append({Cell(m_write, r, WriteAddress), Cell(m_write, r, WriteSymbol), Cell(m_write, r, WriteValue)});
    if (rows.isEmpty()) {
        m_dialogs.Error(this, tr("Nothing to write: enter an address and a value in row 1."));
        return;
    }
    if (!m_link.ECUisConnected()) {
        m_dialogs.Error(this, tr("The ECU is not connected: nothing was written."));
        return;
    }
    const QString error = m_watch.Write(rows);
    if (!error.isEmpty())
        m_dialogs.Error(this, error);
}

bool TFormMemory::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_read && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) {
            m_editing = true;
            m_watch.Stop();
        } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_editing = false;
            if (isVisible())
                m_watch.Start();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFormMemory::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QWidget::changeEvent(event);
}

void TFormMemory::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    SyncWatchRows();
    if (!m_watch.Start())
        m_dialogs.Error(this, tr("The memory cannot be read while another tool holds the line."));
}

void TFormMemory::hideEvent(QHideEvent* event) {
    m_watch.Stop();
    QWidget::hideEvent(event);
}

} // namespace ambrel::ui
