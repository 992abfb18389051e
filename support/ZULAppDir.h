#pragma once
// Where the program keeps the things that live "beside the executable".

#include <string>

// The application directory, with a trailing '/':
// $KESTRUN_HOME when set; otherwise the executable's folder when it is
// writable; otherwise $XDG_DATA_HOME/kestrun (default ~/.local/share/kestrun).
// The directory is not created here.
std::string ZULGetAppDir();
// The folder of the running executable, with a trailing '/'; empty when it cannot be found.
std::string ZULGetExeDir();
// Makes sure a directory exists (creating parents); false when it cannot be created,
// with errno telling why (for GetLastErrorText).
bool ZULForceDirectories(const std::string& path);

// What ZULGetAppDir decides from, gathered from the environment and the file system.
// An empty text stands for a variable that is unset or empty.
struct ZULAppDirInputs {
    std::string KestrunHome;
    std::string ExeDir;
    bool ExeDirWritable = false;
    std::string XdgDataHome;
    std::string Home;  // the user's home folder ($HOME, or the password database when that is empty)
};
// The decision behind ZULGetAppDir, free of the environment so that every branch can be checked.
std::string ZULChooseAppDir(const ZULAppDirInputs& inputs);
