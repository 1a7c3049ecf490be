#pragma once

#include <httplib.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A real HTTP peer on 127.0.0.1 for tests, on a port the system chooses. Register handlers on
// server() before start(); every request that arrives is recorded for assertions.
class LoopbackServer {
public:
    struct Request {
        std::string method;
        std::string target; // path and query exactly as on the request line
        std::string contentType;
        std::string body;
    };

    LoopbackServer();
    ~LoopbackServer() { stop(); }

    httplib::Server &server() { return m_server; }
    // port 0 lets the system choose; another port brings a stopped peer back where it was.
    void start(int port = 0);
    void stop();

    int port() const { return m_port; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    std::vector<Request> requests() const;

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
    // Where each request was recorded, by its address; a later request may take the address over.
    std::map<const httplib::Request *, size_t> m_recordedAt;
};
