#include "TSerStdDlg.h"

#include <algorithm>
#include <iterator>

#include "BuildCommDCB.h"
#include "TFormCommConfig.h"
#include "TSerial.h"

const int32_t StdDlgBaudrates[18] = {110,   300,   600,   1200,   2400,   4800,   9600,   14400,  19200,
                                     38400, 56000, 57600, 115200, 128000, 230400, 256000, 460800, 921600};

TSerStdDlg::TSerStdDlg(QObject* owner, TPortTable& ports) : QObject(owner) {
    ports.Init(4);
    commConfig_.dwSize = sizeof(COMMCONFIG);
    commConfig_.wVersion = 1;
    commConfig_.dcb.DCBlength = sizeof(DCB);
    BuildCommDCB("baud=9600 parity=N data=8 stop=1", commConfig_.dcb);
}

void TSerStdDlg::Notification(const TSerial* removed) {
    if (removed != nullptr && removed == serial_) serial_ = nullptr;
}

QString TSerStdDlg::DeviceName() const {
    return QStringLiteral("COM%1").arg(serial_ != nullptr ? serial_->GetCOMPort() : 1);
}

bool TSerStdDlg::Execute() {
    DCB& dcb = commConfig_.dcb;
    if (serial_ != nullptr) {
        dcb.BaudRate = static_cast<uint32_t>(serial_->GetRate());
        dcb.ByteSize = static_cast<uint8_t>(serial_->GetDataBits() + 4);
        dcb.Parity = serial_->GetParityBit();
        dcb.Set(DCB::fParity, serial_->GetParityBit() != none);
        dcb.StopBits = serial_->GetStopBits();
        // All flow bits start clear: bits left from an earlier showing would bring
        // back a handshake the component no longer has.
        dcb.Set(DCB::fOutxCtsFlow, 0);
        dcb.Set(DCB::fRtsControl, DCB::RTS_CONTROL_DISABLE);
        dcb.Set(DCB::fOutX, 0);
        dcb.Set(DCB::fInX, 0);
        if (serial_->GetHandshakeRtsCts()) {
            dcb.Set(DCB::fOutxCtsFlow, 1);
            dcb.Set(DCB::fRtsControl, DCB::RTS_CONTROL_HANDSHAKE);
        } else if (serial_->GetHandshakeXOnXOff()) {
            dcb.Set(DCB::fOutX, 1);
            dcb.Set(DCB::fInX, 1);
        }
    }

    if (!TFormCommConfig::CommConfigDialog(DeviceName(), nullptr, commConfig_)) return false;

    if (serial_ != nullptr) {
        if (std::find(std::begin(StdDlgBaudrates), std::end(StdDlgBaudrates),
                      static_cast<int32_t>(dcb.BaudRate)) != std::end(StdDlgBaudrates)) {
            const auto rate =
                std::find(std::begin(Baudrates), std::end(Baudrates), static_cast<int32_t>(dcb.BaudRate));
            serial_->SetBaudrate(static_cast<TBaudrate>(rate - std::begin(Baudrates)));
        }
        if (dcb.ByteSize >= 4 && dcb.ByteSize <= 8)
            serial_->SetDataBits(static_cast<TDataBits>(dcb.ByteSize - 4));
        if (dcb.Parity <= space) serial_->SetParityBit(static_cast<TParityBit>(dcb.Parity));
        if (dcb.StopBits <= sb_2) serial_->SetStopBits(static_cast<TStopBits>(dcb.StopBits));
        serial_->SetHandshakeRtsCts(dcb.Get(DCB::fRtsControl) != 0);
        serial_->SetHandshakeXOnXOff(dcb.Get(DCB::fOutX) != 0);
    }
    return true;
}
