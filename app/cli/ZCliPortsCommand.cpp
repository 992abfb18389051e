#include "ZCliPortsCommand.h"

#include "Serial.h"

int ZCliRunPorts(ZCliContext& context) {
    InitSerial(99);
    int present = 0;
    for (int n = 1; n <= LastCOM(); ++n) {
        if (!COMAvailable(n)) continue;
        context.Out << "COM" << n << ' ' << PortDevicePath(n) << '\n';
        ++present;
    }
    if (present == 0) context.Err << "No COM port is present.\n";
    return kCliExitOk;
}
