#pragma once
// A local web server for the download tests: python3's http.server serving
// one folder on 127.0.0.1, on a port nobody else holds. Stopped with the
// object.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace velm::test {

// A port the kernel hands out for 127.0.0.1 and that is free again once
// this returns; 0 when no socket could be bound.
inline int FreeLocalPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t size = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

inline bool AcceptsConnections(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

class HttpServer {
public:
    static constexpr const char* kPython = "/usr/bin/python3";

    // Serves `folder`; Running() tells whether the server came up, Problem()
    // why not.
    explicit HttpServer(const std::string& folder) {
        if (::access(kPython, X_OK) != 0) {
            problem_ = std::string(kPython) + " is not there";
            return;
        }
        // A port can be taken between the probe and the server's bind: try a few.
        for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
            port_ = FreeLocalPort();
            if (port_ == 0) {
                problem_ = "no local port could be bound";
                return;
            }
            Start(folder);
        }
        if (pid_ <= 0 && problem_.empty()) problem_ = "python3 -m http.server did not start";
    }
    ~HttpServer() { Stop(); }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    bool Running() const { return pid_ > 0; }
    const std::string& Problem() const { return problem_; }
    int Port() const { return port_; }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }

    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    void Start(const std::string& folder) {
        const std::string port = std::to_string(port_);
        const pid_t child = ::fork();
        if (child < 0) return;
        if (child == 0) {
            // The server's request log would only clutter the test output.
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) {
                ::dup2(null, STDOUT_FILENO);
                ::dup2(null, STDERR_FILENO);
            }
            ::execl(kPython, kPython, "-m", "http.server", port.c_str(), "--bind", "127.0.0.1", "--directory",
                    folder.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Up to half a minute for the interpreter to start on a loaded machine.
        for (int i = 0; i < 600; ++i) {
            if (AcceptsConnections(port_)) {
                pid_ = child;
                return;
            }
            if (::waitpid(child, nullptr, WNOHANG) == child) return;  // it gave up (port taken, no module)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(child, SIGTERM);
        ::waitpid(child, nullptr, 0);
    }

    pid_t pid_ = -1;
    int port_ = 0;
    std::string problem_;
};

}  // namespace velm::test
