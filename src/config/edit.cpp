// The edit pipeline of the configuration model: the one way a user's change reaches the
// model, the ECU and the windows.

#include "datamap.h"

#include "link/commands.h"

namespace ambrel {

void TDataMap::RefreshViews() {
    m_view->RefreshGUI(*this);
    emit ConfigurationRefreshed();
}

TEditOutcome TDataMap::ApplyEdit(const TEdit& edit) {
    if (edit.Range && !IsInRange(edit.Range->Value, edit.Range->Lower, edit.Range->Upper)) {
        m_view->ShowWarning(tr("Parameter out of range."));
        RefreshViews(); // the control shows the model's value again
        return TEditOutcome::OutOfRange;
    }
    // Before the change: the undo point holds the value from before the edit.
    if (edit.UndoPoint)
        SaveUndoPoint();
    // An ECU that was never configured keeps "000000": the set-up wizard is offered for it.
    if (ConfigDate != QLatin1String("000000"))
        ConfigDate = Today().toString(QStringLiteral("ddMMyy"));
    // The controls first, then the change: a control that still shows the old value
    // must not undo the change made here.
    m_view->ReadFromGUI(*this);
    if (edit.Change)
        edit.Change(*this);
    EncodeImage();
    for (const int block : edit.Blocks.isEmpty() ? PageWriteBlocks() : edit.Blocks)
        Send(Payload::WriteBlock(m_raw.BuildBlock(block, CurrentBank)), this, 0);
    SetSaved(false);
    RefreshViews();
    return TEditOutcome::Applied;
}

} // namespace ambrel
