#include "TSerSel.h"

#include <QPointer>
#include <QWidget>

#include "TCustomSerial.h"
#include "TFormSerSel.h"

TSerSel::TSerSel(QObject* owner, TPortTable& ports) : QObject(owner), ports_(ports) {
    ports_.Init(4);
}

bool TSerSel::Execute() {
    auto* ownerWidget = qobject_cast<QWidget*>(parent());
    QWidget* window = ownerWidget != nullptr ? ownerWidget->window() : nullptr;
    // Guarded: the owner's window deletes the form with itself.
    QPointer<TFormSerSel> form =
        new TFormSerSel(serial_ != nullptr ? serial_->GetCOMPort() : 1, ports_, window);
    FormSerSel = form;
    const bool ok = form->exec() == QDialog::Accepted && !form.isNull();
    if (ok && serial_ != nullptr) serial_->SetCOMPort(form->Port());
    FormSerSel = nullptr;
    delete form;
    return ok;
}
