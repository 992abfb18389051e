#include "ZCliPortsCommand.h"

#include "Serial.h"
#include "SerialPortLocator.h"
#include "ZCliCaptureReport.h"

int ZCliRunPorts(ZCliContext& context, bool json) {
    InitSerial(99);
    const TPortTable& ports = TPortTable::Global();
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    int present = 0;
    for (int n = 1; n <= LastCOM(); ++n) {
        if (!COMAvailable(n)) continue;
        ++present;
        if (json) {
            list.push_back(
                {{"port", n},
                 {"name", ports.DisplayName(n)},
                 {"description", TSerialPortLocator(TSerialPortLocator::SystemRoots()).Description(n)},
                 {"device", PortDevicePath(n)}});
            continue;
        }
        context.Out << ports.DisplayName(n) << '\t' << PortDevicePath(n) << '\n';
    }
    if (json) context.Out << ZCliJsonText(list) << '\n';
    if (present == 0) context.Err << "No COM port is present.\n";
    return kCliExitOk;
}
