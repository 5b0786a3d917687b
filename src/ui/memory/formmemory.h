#pragma once
// The memory watch window: a table of ECU memory locations read one row every 200 ms
// while the window is shown (the link's other periodic requests stand still meanwhile),
// and a table of consecutive bytes written on demand. What the rows send is checked by
// TMemoryWatch; a write it refuses is explained to the user and nothing is sent.

#include "service/memorywatch.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace ambrel {
class TLinkManager;
} // namespace ambrel

namespace ambrel::ui {

class TDialogService;

class TFormMemory final : public QWidget {
    Q_OBJECT
public:
    TFormMemory(TLinkManager& link, TDialogService& dialogs, QWidget* parent = nullptr);

    TMemoryWatch& Watch() { return m_watch; }
    void RetranslateUi();

    enum TReadColumn { ReadAddress, ReadSymbol, ReadCount, ReadValue };
    enum TWriteColumn { WriteAddress, WriteSymbol, WriteValue };

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnReadEdited(QTableWidgetItem* item);
    void OnWriteEdited(QTableWidgetItem* item);
    void SyncWatchRows();
    void ShowValue(int row);
    void Write();

    TLinkManager& m_link;
    TDialogService& m_dialogs;
    TMemoryWatch m_watch;
    QGroupBox* m_readGroup;
    QGroupBox* m_writeGroup;
    QLabel* m_note;
    QTableWidget* m_read;
    QTableWidget* m_write;
    QPushButton* m_writeButton;
    QPushButton* m_loadSym;
    QPushButton* m_loadIni;
    QPushButton* m_saveIni;
    bool m_editing = false; // a cell editor is open: the reads pause
};

} // namespace ambrel::ui
