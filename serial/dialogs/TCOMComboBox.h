#pragma once
// A drop-down list of the first four existing ports ("COM1", ...; "keinen" when
// there is none) that sets a component's port when the user picks one. It has no
// caption of its own: give it a label whose buddy it is (assistive technology
// names it by that label).

#include <QComboBox>
#include <cstdint>

#include "TPortTable.h"

class TCustomSerial;

class TCOMComboBox : public QComboBox {
    Q_OBJECT
public:
    // owner becomes the parent. Scans COM1 to COM4 if no scan ran yet.
    explicit TCOMComboBox(QWidget* owner, TPortTable& ports = TPortTable::Global());

    // The component whose port follows the choice; none by default. Not owned.
    TCustomSerial* Serial() const { return serial_; }
    void SetSerial(TCustomSerial* serial) { serial_ = serial; }

    // The port of the selected item; 0 without ports or without a selection.
    int32_t SelectedPort() const;
    // Selects port n and gives it to the component, then runs the change
    // notification. Ignored unless 1 <= n <= 98 and port n exists. A port beyond
    // the fourth has no item: nothing is selected and the component ends with no port.
    void SetSelectedPort(int32_t n);

signals:
    // After every change of the choice, by the user or through SetSelectedPort.
    void OnChange();
    // Before the list drops down.
    void OnDropDown();

public:
    void showPopup() override;

protected:
    // The component takes the selected port, then OnChange runs.
    virtual void Change();

private:
    TPortTable& ports_;
    TCustomSerial* serial_ = nullptr;
};
