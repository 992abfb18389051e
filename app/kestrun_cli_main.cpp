// kestrun-cli: the headless front end of Kestrun.

#include <unistd.h>

#include <iostream>

#include "ZCliCommandLine.h"
#include "ZCliStopSignal.h"

int main(int argc, char** argv) {
    ZCliContext context{std::cout, std::cerr};
    context.StopRequested = &ZCliStopSignal::Install();
    context.ErrIsTerminal = isatty(STDERR_FILENO) == 1;
    return ZCliRun(argc, argv, context);
}
