#include "ZCliDissectors.h"

#include "ZFramePcap.h"
#include "ZPcapDissectors.h"

void ZCliWarnUnknownDissector(const std::string& name, std::ostream& err) {
    if (name == ZPcapDefaultProtocol || ZCheckDissector(name) != ZDissectorCheck::Unknown) return;
    err << "Warning: Wireshark does not know the protocol \"" << name
        << "\" (tshark does not list it): the packets name it anyway and show as \"Exported PDU\" "
           "without a decode.\n";
}
