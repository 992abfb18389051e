#include "ZPortDialog.h"

#include <QWidget>

#include "TSerExtDlg.h"

bool ZPortDialog::Execute(TSerial& port) {
    TSerExtDlg dlg(mainWindow_);
    dlg.SetSerial(&port);
    dlg.SetPositionDlg(poMainFormCenter);
    return dlg.Execute();
}
