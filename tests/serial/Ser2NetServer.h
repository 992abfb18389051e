#pragma once
// Debian's ser2net serving a test's pseudo-terminal on 127.0.0.1, in RFC 2217 or
// raw TCP mode, on a port chosen free by the test. Started with its own config
// file, ended by its process id.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "Eventually.h"
#include "ZULSpawn.h"

class Ser2NetServer {
public:
    static constexpr const char* Program = "/usr/sbin/ser2net";

    Ser2NetServer(const std::string& device, bool rfc2217) : port_(FreePort()) {
        char folder[] = "/tmp/kestrun-ser2net-XXXXXX";
        if (!mkdtemp(folder)) return;
        folder_ = folder;
        std::ofstream config(folder_ + "/ser2net.yaml");
        config << "connection: &con1\n  accepter: " << (rfc2217 ? "telnet(rfc2217),tcp," : "tcp,")
               << "127.0.0.1," << port_ << "\n  connector: serialdev," << device << ",9600n81,local\n";
    }
    ~Ser2NetServer() {
        Stop();
        if (!folder_.empty()) {
            std::remove((folder_ + "/ser2net.yaml").c_str());
            rmdir(folder_.c_str());
        }
    }
    Ser2NetServer(const Ser2NetServer&) = delete;
    Ser2NetServer& operator=(const Ser2NetServer&) = delete;

    static bool Installed() { return access(Program, X_OK) == 0; }
    int Port() const { return port_; }
    std::string Address(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }

    // Starts the server and waits until it listens; false when it does not.
    bool Start() {
        if (folder_.empty() || pid_ > 0) return false;
        pid_ = ZULSpawn({Program, "-n", "-d", "-c", folder_ + "/ser2net.yaml"}, false);
        return pid_ > 0 && Eventually([this] { return Listening(); });
    }

    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // A port on 127.0.0.1 that nobody listens on just now.
    static int FreePort() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        int port = 0;
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        close(fd);
        return port;
    }

private:
    // Read from the kernel's socket table, so that no probe connection makes the
    // server open the device.
    bool Listening() const {
        std::ifstream table("/proc/net/tcp");
        std::string line;
        char wanted[32];
        std::snprintf(wanted, sizeof(wanted), "0100007F:%04X", port_);
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (local == wanted && state == "0A") return true;
        }
        return false;
    }

    int port_;
    std::string folder_;
    pid_t pid_ = -1;
};
