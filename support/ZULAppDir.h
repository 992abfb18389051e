#pragma once
// Where the program keeps the things that live "beside the executable".

#include <string>

// The application directory, with a trailing '/':
// $KESTRUN_HOME when set (a leading "~" stands for the home folder, a relative
// path is taken from the current folder); otherwise the executable's folder when
// it belongs to the user, nobody else may write to it, and it is no system folder
// (under /usr, /bin, /sbin, /lib, /opt or /etc); otherwise $XDG_DATA_HOME/kestrun
// (default ~/.local/share/kestrun). Another user who could write into the folder
// could plant links under the names the programs write. Not created here.
// Empty when no absolute folder can be named (HOME relative or unset, and the
// password database names none); ZULCheckAppDir says so.
std::string ZULGetAppDir();
// Whether the application directory may be used: it (or, while it does not exist,
// the nearest folder above it that does), with links resolved, belongs to the user
// (or to root while it does not exist yet) and nobody else may write to it. False
// with a text naming the folder and why; the programs refuse to start then, since
// another user could plant links there that receive log files or choose the port.
bool ZULCheckAppDir(std::string& errorText);
// The rule behind ZULCheckAppDir for one folder; mayBeRoots also accepts folders of root.
bool ZULCheckOwnFolder(const std::string& folder, bool mayBeRoots, std::string& why);
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
    // The folder itself (not what a link of that name points to) belongs to the
    // user, has no group or other write permission, and the user may write to it.
    bool ExeDirPrivate = false;
    std::string XdgDataHome;
    std::string Home;  // the user's home folder ($HOME, or the password database when that is not absolute)
    std::string CurrentDir;  // the working folder, for a relative KESTRUN_HOME
};
// The decision behind ZULGetAppDir, free of the environment so that every branch can be checked.
std::string ZULChooseAppDir(const ZULAppDirInputs& inputs);
// Whether a folder belongs to the system's installed files, where a program run
// (even by root) must not put files of its own.
bool ZULIsSystemFolder(const std::string& folder);
// Whether the folder itself (a link of that name is not followed) belongs to this
// user, grants no write permission to its group or others, and is writable.
bool ZULIsPrivateFolder(const std::string& folder);
