#include "TSerExtDlg.h"

#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <climits>
#include <iterator>

#include "BuildCommDCB.h"
#include "TFormCOMSetup.h"
#include "TSerial.h"

namespace {

constexpr int DefaultScanCount = 4;

// Keeps the unit's form variable in step with the form's life.
class TCurrentForm {
public:
    explicit TCurrentForm(TFormCOMSetup* form) { FormCOMSetup = form; }
    ~TCurrentForm() { FormCOMSetup = nullptr; }
    TCurrentForm(const TCurrentForm&) = delete;
    TCurrentForm& operator=(const TCurrentForm&) = delete;
};

}  // namespace

TSerExtDlg::TSerExtDlg(QObject* owner, TPortTable& ports) : QObject(owner), ports_(ports) {
    ports_.Init(DefaultScanCount);
    dcb_.DCBlength = sizeof(DCB);
    BuildCommDCB("baud=9600 parity=N data=8 stop=1", dcb_);
}

bool TSerExtDlg::Execute() {
    TCOMExtParams params;
    if (serial_ != nullptr) {
        params.COMPort = serial_->GetCOMPort();
        dcb_.BaudRate = static_cast<uint32_t>(serial_->GetRate());
        dcb_.ByteSize = static_cast<uint8_t>(serial_->GetDataBits() + 4);
        dcb_.Parity = serial_->GetParityBit();
        dcb_.Set(DCB::fParity, serial_->GetParityBit() != none);
        dcb_.StopBits = serial_->GetStopBits();
        const bool rtsCts = serial_->GetHandshakeRtsCts();
        const bool dtrDsr = serial_->GetHandshakeDtrDsr();
        dcb_.Set(DCB::fOutxCtsFlow, rtsCts);
        dcb_.Set(DCB::fRtsControl, rtsCts ? DCB::RTS_CONTROL_HANDSHAKE : DCB::RTS_CONTROL_DISABLE);
        dcb_.Set(DCB::fOutxDsrFlow, dtrDsr);
        dcb_.Set(DCB::fDtrControl, dtrDsr ? DCB::DTR_CONTROL_HANDSHAKE : DCB::DTR_CONTROL_DISABLE);
        dcb_.Set(DCB::fOutX, serial_->GetHandshakeXOnXOff());
        dcb_.Set(DCB::fInX, serial_->GetHandshakeXOnXOff());
        params.BufSizeRec = serial_->GetBufSizeRec();
        params.BufSizeTrm = serial_->GetBufSizeTrm();
    } else {
        params.COMPort = 1;
        params.BufSizeRec = 2048;
        params.BufSizeTrm = 2048;
    }

    params.dcb = dcb_;
    params.PositionDlg = positionDlg_;
    params.LeftDlg = leftDlg_;
    params.TopDlg = topDlg_;
    // A Qt dialog is always a window of its own; its parent only keeps it above
    // the owner's window and gives the centred positions their reference.
    auto* ownerWidget = qobject_cast<QWidget*>(parent());
    params.ParentDlg = ownerWidget != nullptr ? ownerWidget->window() : nullptr;

    // Held by a guarded pointer: the owner's window deletes its children, and so
    // the form, when it goes away while the form is shown.
    QPointer<TFormCOMSetup> form = new TFormCOMSetup(ports_, params.ParentDlg);
    bool ok = false;
    {
        TCurrentForm current(form);
        ok = form->CommConfigDialogEx(params);
    }
    delete form;

    if (ok && serial_ != nullptr) {
        serial_->SetCOMPort(params.COMPort);
        dcb_ = params.dcb;
        const auto rate =
            std::find(std::begin(Baudrates), std::end(Baudrates), static_cast<int32_t>(dcb_.BaudRate));
        if (rate != std::end(Baudrates))
            serial_->SetBaudrate(static_cast<TBaudrate>(rate - std::begin(Baudrates)));
        else if (dcb_.BaudRate > 0 && dcb_.BaudRate <= static_cast<uint32_t>(INT32_MAX))
            serial_->SetCustomRate(static_cast<int32_t>(dcb_.BaudRate));
        if (dcb_.ByteSize >= 4 && dcb_.ByteSize <= 8)
            serial_->SetDataBits(static_cast<TDataBits>(dcb_.ByteSize - 4));
        if (dcb_.Parity <= space) serial_->SetParityBit(static_cast<TParityBit>(dcb_.Parity));
        if (dcb_.StopBits <= sb_2) serial_->SetStopBits(static_cast<TStopBits>(dcb_.StopBits));
        serial_->SetHandshakeRtsCts(dcb_.Get(DCB::fOutxCtsFlow) != 0);
        serial_->SetHandshakeDtrDsr(dcb_.Get(DCB::fOutxDsrFlow) != 0);
        serial_->SetHandshakeXOnXOff(dcb_.Get(DCB::fInX) != 0);
        serial_->SetBufSizeRec(params.BufSizeRec);
        serial_->SetBufSizeTrm(params.BufSizeTrm);
    }
    return ok;
}
