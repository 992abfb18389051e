#pragma once

#include <string>

// Why opening device failed, for errno value errorNumber, as a sentence the user
// can act on; "" for 0. refusal, when not empty, says which setting the device
// kept instead of the one asked (see ISerialHandle::RefusalText). A network port's
// address gets the reasons a connection fails.
std::string SerialOpenErrorText(int errorNumber, const std::string& device, const std::string& refusal = "");
