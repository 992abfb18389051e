#pragma once
// Where the program keeps the things that live "beside the executable".

#include <string>

// The application directory, with a trailing '/':
// $KESTRUN_HOME when set; otherwise the executable's folder when it is
// writable; otherwise $XDG_DATA_HOME/kestrun (default ~/.local/share/kestrun).
// The directory is not created here.
std::string ZULGetAppDir();
// The folder of the running executable, with a trailing '/'.
std::string ZULGetExeDir();
// Makes sure a directory exists (creating parents); false when it cannot be created.
bool ZULForceDirectories(const std::string& path);
