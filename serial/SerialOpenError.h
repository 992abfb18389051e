#pragma once

#include <string>

// Why opening device failed, for errno value errorNumber, as a sentence the user
// can act on; "" for 0.
std::string SerialOpenErrorText(int errorNumber, const std::string& device);
