#include "HttpFrontEnd.h"

#include <chrono>

#include <httplib.h>

#include "AccessLog.h"
#include "PageRenderer.h"

namespace
{
// A request is read, answered and logged on one worker thread.
thread_local std::chrono::steady_clock::time_point t_requestStart;

double MillisecondsSinceStart()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t_requestStart).count();
}
}  // namespace

CHttpFrontEnd::CHttpFrontEnd(CAccessLog& log, CPageRenderer& renderer, const CServerOptions& options)
    : m_server(std::make_unique<httplib::Server>())
{
    int threads = options.threads;
    m_server->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    m_server->set_read_timeout(options.idleTimeoutSeconds, 0);
    m_server->set_write_timeout(options.idleTimeoutSeconds, 0);
    m_server->set_keep_alive_timeout(options.idleTimeoutSeconds);
    // A connection gives its worker back now and then, so that waiting clients get their turn.
    m_server->set_keep_alive_max_count(100);
    m_server->set_payload_max_length(kMaxBody);
    m_server->set_tcp_nodelay(true);

    // Runs before the body is read: a body over the limit is refused at once rather than
    // read and thrown away, and the connection ends so the rest of it is never read.
    m_server->set_pre_routing_handler([&renderer](const httplib::Request& request, httplib::Response& response) {
        t_requestStart = std::chrono::steady_clock::now();
        std::string length = request.get_header_value("Content-Length");
        if (length.size() > 12 || (!length.empty() && std::stoull("0" + length) > kMaxBody)) {
            auto& closing = const_cast<httplib::Request&>(request);
            closing.headers.erase("Connection");
            closing.headers.emplace("Connection", "close");
            renderer.SendError(response, 413, "Requests to this server may carry at most 32 MiB.");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_server->set_logger([&log](const httplib::Request& request, const httplib::Response& response) {
        log.LogHttp(request.remote_addr, request.method, request.target.empty() ? request.path : request.target,
                    response.status, response.body.size(), MillisecondsSinceStart());
    });
    m_server->set_error_handler([&renderer](const httplib::Request& request, httplib::Response& response) {
        if (!response.body.empty())
            return;
        if (response.status == 404)
            renderer.SendError(response, 404, "There is no page " + request.path + " on this server.");
        else
            renderer.SendError(response, response.status, "The request could not be served.");
    });
    m_server->set_exception_handler([&renderer](const httplib::Request&, httplib::Response& response,
                                                std::exception_ptr error) {
        std::string what = "unexpected failure";
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        renderer.SendError(response, 500, what);
    });
}

CHttpFrontEnd::~CHttpFrontEnd() { Stop(); }

bool CHttpFrontEnd::Start(const CListenAddress& address, std::string& error)
{
    if (address.port == 0) {
        m_port = m_server->bind_to_any_port(address.host.c_str());
    } else if (m_server->bind_to_port(address.host.c_str(), address.port)) {
        m_port = address.port;
    } else {
        m_port = -1;
    }
    if (m_port <= 0) {
        error = "cannot listen for HTTP on " + address.host + ":" + std::to_string(address.port) +
                " (address in use or not on this machine)";
        return false;
    }
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    return true;
}

void CHttpFrontEnd::Stop()
{
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}
