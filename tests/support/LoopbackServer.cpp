#include "LoopbackServer.h"

LoopbackServer::LoopbackServer() {
    // Recorded before routing, so a test sees the request as soon as its answer arrives (or
    // while a handler holds it); the body is read after this point and filled in once routed.
    m_server.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_recordedAt[&req] = m_requests.size();
        m_requests.push_back(
            {req.method, req.target, req.get_header_value("Content-Type"), req.body});
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_server.set_post_routing_handler([this](const httplib::Request &req, httplib::Response &) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (const auto routed = m_recordedAt.find(&req); routed != m_recordedAt.end())
            m_requests[routed->second].body = req.body;
    });
}

void LoopbackServer::start(int port) {
    m_port = port == 0 ? m_server.bind_to_any_port("127.0.0.1")
                       : (m_server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (m_port < 0)
        return;
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

std::vector<LoopbackServer::Request> LoopbackServer::requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}
