// A throwaway OpenSSH server on 127.0.0.1 for tests: its own host key, a
// user key for root, and a client wrapper that trusts exactly them. The
// remote shell's PATH is a folder of the test's choosing, so a test decides
// which scanners the "other machine" has. Needs root and /usr/sbin/sshd;
// `unavailable()` says why not. One thread.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>

#include "support/temp_dir.h"

namespace tb::test {

class SshServer {
public:
    SshServer() {
        if (::getuid() != 0) {
            why_ = "a test ssh server needs root (sshd checks its keys as root)";
            return;
        }
        for (const char* tool : {"/usr/sbin/sshd", "/usr/bin/ssh", "/usr/bin/ssh-keygen"}) {
            if (::access(tool, X_OK) != 0) {
                why_ = std::string(tool) + " is missing (Debian's openssh-server and -client)";
                return;
            }
        }
        // sshd's privilege separation needs it; made only when missing, and removed again.
        if (::mkdir("/run/sshd", 0755) == 0) madeRunDir_ = true;
        if (!run("ssh-keygen -q -t ed25519 -N '' -f " + dir_ / "host_key") ||
            !run("ssh-keygen -q -t ed25519 -N '' -f " + dir_ / "user_key")) {
            why_ = "ssh-keygen failed";
            return;
        }
        port_ = freePort();
        makeDirs(dir_ / "remote-bin");
        setRemoteTools({});
        writeFile(dir_ / "sshd_config",
                  "ListenAddress 127.0.0.1\nPort " + std::to_string(port_) + "\nHostKey " +
                      dir_ / "host_key" + "\nAuthorizedKeysFile " + dir_ / "authorized_keys" +
                      "\nPidFile " + dir_ / "sshd.pid" +
                      "\nStrictModes no\nUsePAM no\nPermitUserEnvironment yes\n"
                      "PermitRootLogin prohibit-password\nLogLevel ERROR\n");
        writeFile(dir_ / "known_hosts",
                  "[127.0.0.1]:" + std::to_string(port_) + " " + readFile(dir_ / "host_key.pub"));
        writeFile(dir_ / "ssh_config", "Host *\n  IdentityFile " + dir_ / "user_key" +
                                           "\n  IdentitiesOnly yes\n  UserKnownHostsFile " +
                                           dir_ / "known_hosts" +
                                           "\n  StrictHostKeyChecking yes\n");
        // OpenSSH reads ~/.ssh/config from the password database, not $HOME:
        // the wrapper points it at this server's files instead.
        makeDirs(dir_ / "client-bin");
        writeFile(dir_ / "client-bin/ssh",
                  "#!/bin/sh\nexec /usr/bin/ssh -F " + dir_ / "ssh_config" + " \"$@\"\n");
        ::chmod((dir_ / "client-bin/ssh").c_str(), 0755);
        if (!run("/usr/sbin/sshd -f " + dir_ / "sshd_config" + " -E " + dir_ / "sshd.log") ||
            !accepting()) {
            why_ = "sshd did not start: " + readFile(dir_ / "sshd.log");
            return;
        }
    }
    ~SshServer() {
        const std::string pid = readFile(dir_ / "sshd.pid");
        if (!pid.empty()) ::kill(pid_t(std::atoi(pid.c_str())), SIGTERM);
        if (madeRunDir_) ::rmdir("/run/sshd");
    }
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    const std::optional<std::string>& unavailable() const { return why_; }
    int port() const { return port_; }
    std::string address(const std::string& path) const {
        return "ssh://root@127.0.0.1:" + std::to_string(port_) + path;
    }
    // The ssh wrapper, and the folder holding it (put it first on PATH).
    std::string client() const { return dir_ / "client-bin/ssh"; }
    std::string clientFolder() const { return dir_ / "client-bin"; }

    // The programs the remote shell finds, by name; nothing else is on its PATH.
    void setRemoteTools(const std::map<std::string, std::string>& tools) {
        for (const std::string& name : namesIn(dir_ / "remote-bin"))
            ::unlink((dir_ / "remote-bin/" + name).c_str());
        for (const auto& [name, target] : tools)
            (void)::symlink(target.c_str(), (dir_ / "remote-bin/" + name).c_str());
        writeFile(dir_ / "authorized_keys", "environment=\"PATH=" + dir_ / "remote-bin" + "\" " +
                                                readFile(dir_ / "user_key.pub"));
    }
    // A script the remote shell finds as `name`.
    void setRemoteScript(const std::string& name, const std::string& body) {
        setRemoteTools({});
        writeFile(dir_ / "remote-bin/" + name, "#!/bin/sh\n" + body);
        ::chmod((dir_ / "remote-bin/" + name).c_str(), 0755);
    }

private:
    static bool run(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    }
    static int freePort() {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        (void)::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        (void)::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
        ::close(s);
        return ntohs(a.sin_port);
    }
    bool accepting() const {
        for (int i = 0; i < 100; ++i) {
            const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(std::uint16_t(port_));
            const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            ::close(s);
            if (ok) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    TempDir dir_;
    std::optional<std::string> why_;
    int port_ = 0;
    bool madeRunDir_ = false;
};

} // namespace tb::test
