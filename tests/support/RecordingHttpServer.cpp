#include "RecordingHttpServer.h"

#include <chrono>
#include <stdexcept>

CRecordingHttpServer::CRecordingHttpServer()
{
    m_server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        std::lock_guard lock(m_mutex);
        m_requests.push_back({req.method, req.path, req.headers});
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("cannot listen on loopback");
}

CRecordingHttpServer::~CRecordingHttpServer()
{
    m_server.stop();
    if (m_thread.joinable())
        m_thread.join();
}

void CRecordingHttpServer::Start()
{
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::vector<CRecordedRequest> CRecordingHttpServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::string CRecordingHttpServer::RequestLine() const
{
    std::lock_guard lock(m_mutex);
    std::string line;
    for (const CRecordedRequest& request : m_requests)
        line += (line.empty() ? "" : ", ") + request.method + " " + request.path;
    return line;
}
