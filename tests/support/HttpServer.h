#pragma once
// A local web server for the download tests: python3's http.server serving
// one folder on 127.0.0.1, on a port nobody else holds. Stopped with the
// object. It can also misbehave: answer every file with another status, or
// send part of it and stall.
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

    enum class Answer { Plain, WithStatus, Stalling };

    // Serves `folder`; Running() tells whether the server came up, Problem()
    // why not. WithStatus sends each file's bytes under `status`; Stalling
    // sends the first kilobyte of a file and then nothing for a minute.
    explicit HttpServer(const std::string& folder, Answer answer = Answer::Plain, int status = 200)
        : answer_(answer), status_(status) {
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
            if (answer_ == Answer::Plain)
                ::execl(kPython, kPython, "-m", "http.server", port.c_str(), "--bind", "127.0.0.1", "--directory",
                        folder.c_str(), static_cast<char*>(nullptr));
            const std::string status = std::to_string(status_), stall = answer_ == Answer::Stalling ? "1" : "0";
            ::execl(kPython, kPython, "-c", kMisbehaving, folder.c_str(), port.c_str(), status.c_str(), stall.c_str(),
                    static_cast<char*>(nullptr));
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

    static constexpr const char* kMisbehaving = R"(
import http.server, os, sys, time
folder, port, status, stall = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4] == "1"
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        path = os.path.join(folder, os.path.basename(self.path))
        body = open(path, "rb").read() if os.path.isfile(path) else b""
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body[:1024] if stall else body)
        self.wfile.flush()
        if stall: time.sleep(60)
    def log_message(self, *args): pass
http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler).serve_forever()
)";

    Answer answer_ = Answer::Plain;
    int status_ = 200;
    pid_t pid_ = -1;
    int port_ = 0;
    std::string problem_;
};

}  // namespace velm::test
