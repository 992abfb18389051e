#pragma once
// A pseudo-terminal pair to stand in for a serial device: the slave side is the
// "device" a capture opens, the master side is where the device's bytes are
// written. The slave is kept open here (so the pair lives while no capture has it
// open) and set raw, so nothing written is echoed back or altered. The master is
// non-blocking: a write into a full pair fails with EAGAIN. Header-only: the
// benchmarks use it as well.

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

class ZPseudoTerminal {
public:
    ZPseudoTerminal() = default;
    ~ZPseudoTerminal() { Close(); }
    ZPseudoTerminal(const ZPseudoTerminal&) = delete;
    ZPseudoTerminal& operator=(const ZPseudoTerminal&) = delete;

    // False with errno set when the pair cannot be made.
    bool Open() {
        Close();
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return false;
        char name[PATH_MAX];
        termios raw{};
        if (ttyname_r(slave_, name, sizeof name) != 0 || tcgetattr(slave_, &raw) != 0) return Fail();
        cfmakeraw(&raw);
        if (tcsetattr(slave_, TCSANOW, &raw) != 0) return Fail();
        if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) return Fail();
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        slavePath_ = name;
        return true;
    }

    // Closing the master hangs the slave up for whoever has it open.
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

    // Without a slave held here, the pair hangs up when its master closes.
    void CloseSlave() {
        if (slave_ >= 0) close(slave_);
        slave_ = -1;
    }

    void Close() {
        CloseMaster();
        CloseSlave();
        slavePath_.clear();
    }

    int Master() const { return master_; }
    int Slave() const { return slave_; }
    const std::string& SlavePath() const { return slavePath_; }

private:
    bool Fail() {
        const int error = errno;
        Close();
        errno = error;
        return false;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};
