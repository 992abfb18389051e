#pragma once
// Starting a helper program without a shell.

#include <sys/types.h>

#include <string>
#include <vector>

// Starts arguments[0] with the arguments as they stand (no shell sees them, so any
// text is safe), standard input from /dev/null, default signal handling whatever
// the caller blocked or ignored, and in a session of its own: a Ctrl+C or hang-up
// meant for the caller's terminal does not reach it. With searchPath, a name without
// a slash is looked up on the PATH as it is now. Returns the child's process id, or
// -1 with errno telling why when it could not be started. The caller reaps the child.
// With an outputFd, the child's standard output goes there and its standard error
// to /dev/null.
pid_t ZULSpawn(const std::vector<std::string>& arguments, bool searchPath, int outputFd = -1);

// Reaps a child that nobody waits for any more, whenever it ends, on a thread of
// its own, so that it leaves no zombie and no caller waits for it.
void ZULReapWhenEnded(pid_t pid);
