#pragma once
// The extended port settings dialog as the engine asks for it: the serial library's
// setup dialog, modal and centred on the main window.

#include "ZLoggerClients.h"

class QWidget;

class ZPortDialog : public IZPortDialog {
public:
    explicit ZPortDialog(QWidget* mainWindow) : mainWindow_(mainWindow) {}

    // Window thread; true when the user confirmed the dialog.
    bool Execute(TSerial& port) override;

private:
    QWidget* mainWindow_;
};
