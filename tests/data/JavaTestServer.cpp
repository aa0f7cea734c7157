#include "JavaTestServer.h"

#include <chrono>
#include <stdexcept>

CJavaTestServer::CJavaTestServer()
{
    auto answer = [this](const httplib::Request& request, httplib::Response& response) { Answer(request, response); };
    m_server.Get(".*", answer);
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("cannot listen on loopback");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

CJavaTestServer::~CJavaTestServer()
{
    Release();
    m_server.stop();
    m_thread.join();
}

void CJavaTestServer::Serve(const std::string& path, const std::string& body, const std::string& lastModified)
{
    std::lock_guard lock(m_mutex);
    m_answers[path] = {body, lastModified};
}

void CJavaTestServer::ServeAnythingElse(const std::string& body)
{
    std::lock_guard lock(m_mutex);
    m_fallback = body;
    m_hasFallback = true;
}

void CJavaTestServer::HoldRequest(int number)
{
    std::lock_guard lock(m_mutex);
    m_holdNumber = number;
}

bool CJavaTestServer::WaitForHeldRequest()
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_heldArrived; });
}

void CJavaTestServer::Release()
{
    std::lock_guard lock(m_mutex);
    m_released = true;
    m_changed.notify_all();
}

std::vector<std::string> CJavaTestServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> CJavaTestServer::GetTargets() const
{
    std::vector<std::string> targets;
    for (const std::string& request : Requests())
        if (request.rfind("GET ", 0) == 0)
            targets.push_back(request.substr(4));
    return targets;
}

void CJavaTestServer::ClearRequests()
{
    std::lock_guard lock(m_mutex);
    m_requests.clear();
}

void CJavaTestServer::Answer(const httplib::Request& request, httplib::Response& response)
{
    std::unique_lock lock(m_mutex);
    m_requests.push_back(request.method + " " + request.target);
    if (static_cast<int>(m_requests.size()) == m_holdNumber) {
        m_heldArrived = true;
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_released; });
    }
    auto it = m_answers.find(request.path);
    if (it == m_answers.end() && !m_hasFallback) {
        response.status = 404;
        return;
    }
    const CAnswer answer = it != m_answers.end() ? it->second : CAnswer{m_fallback, ""};
    if (!answer.lastModified.empty())
        response.set_header("Last-Modified", answer.lastModified);
    response.set_content(answer.body, "text/xml");
}
