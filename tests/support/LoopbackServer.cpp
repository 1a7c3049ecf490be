#include "LoopbackServer.h"

LoopbackServer::LoopbackServer() {
    // Recorded before routing, so a test sees the request as soon as its answer arrives.
    m_server.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back({req.method, req.target, req.headers, req.body});
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

LoopbackServer::~LoopbackServer() {
    stop();
}

void LoopbackServer::start() {
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running())
        std::this_thread::yield();
}

void LoopbackServer::stop() {
    if (m_thread.joinable()) {
        m_server.stop();
        m_thread.join();
    }
}

std::string LoopbackServer::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::vector<LoopbackServer::Request> LoopbackServer::requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}
