#pragma once
// Where the program finds the files it ships: the sample settings and recordings.

#include <string>

// The folder of the sample settings (.scs) and recordings (.bin), with a trailing '/':
// the installed data folder beside the executable's (../share/kestrun from the program's
// folder) when it exists, otherwise the samples of the source tree the program was built
// from. The result is where the files should be; it may not exist (a build tree whose
// sources were moved).
std::string ZULGetSamplesDir();

// The decision behind ZULGetSamplesDir: exeDir + installedFromExe when that is a folder
// (made lexically normal, so no "bin/.." is shown to the user), else sourceDir. An empty
// exeDir (the executable's folder unknown) gives sourceDir. Both results end in '/'.
std::string ZULFindSamplesDir(const std::string& exeDir, const std::string& installedFromExe,
                              const std::string& sourceDir);
