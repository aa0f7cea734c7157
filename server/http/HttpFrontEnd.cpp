#include "HttpFrontEnd.h"

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <sys/socket.h>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "AccessLog.h"
#include "DrainCount.h"
#include "HandlerPool.h"
#include "HttpAnswer.h"

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace
{
// Time a transfer of size bytes may take at the slowest rate allowed, beyond the idle time.
std::chrono::milliseconds TransferAllowance(size_t bytes)
{
    return std::chrono::milliseconds(bytes * 1000 / CHttpFrontEnd::kMinRate);
}

bool IsHttpError(const beast::error_code& ec)
{
    return &ec.category() == &http::make_error_code(http::error::bad_target).category();
}

// Open connections, in all and per client address.
class CConnectionCount
{
public:
    CConnectionCount(int total, int perClient) : m_maxTotal(total), m_maxPerClient(perClient) {}

    bool Admit(const std::string& address)
    {
        std::lock_guard lock(m_mutex);
        int& open = m_perClient[address];
        if (m_total >= m_maxTotal || open >= m_maxPerClient) {
            if (open == 0)
                m_perClient.erase(address);
            return false;
        }
        ++open;
        ++m_total;
        return true;
    }

    void Release(const std::string& address)
    {
        std::lock_guard lock(m_mutex);
        auto found = m_perClient.find(address);
        if (found != m_perClient.end() && --found->second == 0)
            m_perClient.erase(found);
        --m_total;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<std::string, int> m_perClient;
    int m_total = 0;
    int m_maxTotal;
    int m_maxPerClient;
};
}  // namespace

struct CHttpFrontEnd::CImpl
{
    CImpl(CAccessLog& log, CErrorPage errorPage, CHttpRouter& router, const CServerOptions& options)
        : log(log), errorPage(std::move(errorPage)), router(router), idle(options.idleTimeoutSeconds),
          ioThreadCount(options.ioThreads), connections(options.maxConnections, options.maxConnectionsPerClient),
          handlers(options.threads, static_cast<size_t>(options.handlerQueue))
    {
    }

    void Serve();
    void Accept();
    // Routing, error pages and failures of a handler.
    void Answer(CHttpRequest& request, CHttpResponse& response);

    CAccessLog& log;
    CErrorPage errorPage;
    CHttpRouter& router;
    std::chrono::seconds idle;
    int ioThreadCount;
    // Declared before the I/O context: the connections it destroys release their count here.
    CConnectionCount connections;
    // What a stop waits for; once stopping is set, connections take no further request.
    CDrainCount drain;
    std::atomic<bool> stopping{false};
    net::io_context io;
    // Keeps the threads running once the listener is closed, for answers that handlers post.
    net::executor_work_guard<net::io_context::executor_type> work{io.get_executor()};
    // On a strand of its own, so that StopAccepting never races an accept.
    tcp::acceptor acceptor{net::make_strand(io)};
    net::steady_timer acceptPause{acceptor.get_executor()};
    std::vector<std::thread> threads;
    // After the I/O context, so it is gone first: its tasks hold connections of the context.
    CHandlerPool handlers;
    // Connections whose request is with a handler; Stop closes them without waiting.
    std::mutex handlingMutex;
    std::unordered_set<beast::tcp_stream*> handling;
};

namespace
{
// One client connection: reads a request head within the idle time (however the bytes
// trickle in), its body at a minimal rate, answers, and waits for the next request.
class CHttpConnection : public std::enable_shared_from_this<CHttpConnection>
{
public:
    CHttpConnection(tcp::socket socket, CHttpFrontEnd::CImpl& server, std::string address, bool admitted)
        : m_stream(std::move(socket)), m_executor(m_stream.get_executor()), m_server(server),
          m_address(std::move(address)), m_admitted(admitted)
    {
        m_buffer.max_size(2 * CHttpFrontEnd::kMaxHead);
        // One turned away is busy with its answer from the start.
        m_server.drain.Move(m_state, admitted ? CDrainCount::kSilent : CDrainCount::kAnswering);
    }

    ~CHttpConnection()
    {
        m_server.drain.Move(m_state, CDrainCount::kIdle);
        if (m_admitted)
            m_server.connections.Release(m_address);
    }

    void Start()
    {
        net::dispatch(m_stream.get_executor(), [self = shared_from_this()] {
            if (self->m_admitted)
                self->ReadFirst();
            else
                self->RefuseBusy("(connection)", "",
                                 "Too many connections from your address or in all; try again later.\n");
        });
    }

private:
    // The first bytes on their own, which tell a silent client from one sending its request.
    // The idle time runs on from here for the whole head.
    void ReadFirst()
    {
        m_stream.expires_after(m_server.idle);
        m_stream.async_read_some(m_buffer.prepare(4096), [self = shared_from_this()](beast::error_code ec, size_t bytes) {
            self->m_buffer.commit(bytes);
            self->m_server.drain.Move(self->m_state, CDrainCount::kPartial);
            if (!ec)
                self->ReadHead(false);
        });
    }

    void ReadHead(bool restartClock = true)
    {
        // A first request is awaited even while stopping: its client was taken and is sending it.
        if (m_answered) {
            if (m_server.stopping)
                return;
            m_server.drain.Move(m_state, CDrainCount::kIdle);
        }
        m_parser.emplace();
        m_parser->header_limit(static_cast<uint32_t>(CHttpFrontEnd::kMaxHead));
        m_parser->body_limit(CHttpFrontEnd::kMaxBody);
        if (restartClock)
            m_stream.expires_after(m_server.idle);
        http::async_read_header(m_stream, m_buffer, *m_parser,
                                beast::bind_front_handler(&CHttpConnection::OnHead, shared_from_this()));
    }

    void OnHead(beast::error_code ec, size_t)
    {
        m_server.drain.Move(m_state, CDrainCount::kAnswering);
        if (ec == http::error::header_limit)
            return Refuse(431, "The request's header is larger than this server takes.");
        if (ec == http::error::body_limit)
            return Refuse(413, "Requests to this server may carry at most 32 MiB.");
        if (ec && IsHttpError(ec) && ec != http::error::end_of_stream)
            return Refuse(400, "The request is not well-formed HTTP.");
        if (ec)
            return;  // closed, reset or out of time: the connection ends with this object
        m_start = Clock::now();
        const auto& head = m_parser->get();
        if (head.target().size() > CHttpFrontEnd::kMaxTarget)
            return Refuse(414, "The address of the request is longer than this server takes.");
        size_t fields = 0;
        for (const auto& field : head) {
            if (++fields > CHttpFrontEnd::kMaxFields || field.value().size() > CHttpFrontEnd::kMaxField ||
                field.name_string().size() > CHttpFrontEnd::kMaxField)
                return Refuse(431, "The request's header is larger than this server takes.");
        }
        if (m_parser->is_done())
            return Handle();
        m_bodyStart = Clock::now();
        m_bodyBytes = 0;
        if (beast::iequals(head[http::field::expect], "100-continue")) {
            static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
            m_stream.expires_after(m_server.idle);
            net::async_write(m_stream, net::buffer(kContinue), [self = shared_from_this()](beast::error_code e, size_t) {
                if (!e)
                    self->ReadBody();
            });
            return;
        }
        ReadBody();
    }

    void ReadBody()
    {
        m_stream.expires_at(m_bodyStart + m_server.idle + TransferAllowance(m_bodyBytes + 64 * 1024));
        http::async_read_some(m_stream, m_buffer, *m_parser,
                              beast::bind_front_handler(&CHttpConnection::OnBody, shared_from_this()));
    }

    void OnBody(beast::error_code ec, size_t bytes)
    {
        if (ec == http::error::body_limit)
            return Refuse(413, "Requests to this server may carry at most 32 MiB.");
        if (ec && IsHttpError(ec) && ec != http::error::end_of_stream && ec != http::error::partial_message)
            return Refuse(400, "The request's body is not well-formed.");
        if (ec)
            return;
        m_bodyBytes += bytes;
        if (m_parser->is_done())
            return Handle();
        ReadBody();
    }

    void Handle()
    {
        auto message = m_parser->release();
        m_parser.reset();
        auto request = std::make_shared<CHttpRequest>();
        request->method = std::string(message.method_string());
        request->target = std::string(message.target());
        request->remoteAddress = m_address;
        request->keepAlive = message.keep_alive() && !m_server.stopping;
        for (const auto& field : message)
            request->headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
        request->body = std::move(message.body());
        {
            std::lock_guard lock(m_server.handlingMutex);
            m_server.handling.insert(&m_stream);
        }
        // The handler, and the shaping of its answer (gzip), on a handler thread; the
        // bytes come back to this connection's strand to be written.
        bool queued = m_server.handlers.TrySubmit([self = shared_from_this(), request] {
            request->ParseTarget();
            request->ParseForm();
            CHttpResponse response;
            self->m_server.Answer(*request, response);
            auto answer = std::make_shared<CHttpAnswer>(ShapeResponse(*request, std::move(response)));
            {
                std::lock_guard lock(self->m_server.handlingMutex);
                self->m_server.handling.erase(&self->m_stream);
            }
            net::post(self->m_executor, [self, request, answer] {
                self->Send(request->method, request->target, std::move(*answer), !request->keepAlive);
            });
        });
        if (queued)
            return;
        {
            std::lock_guard lock(m_server.handlingMutex);
            m_server.handling.erase(&m_stream);
        }
        RefuseBusy(request->method, request->target, "The server is busy; try again in a moment.\n");
    }

    // A fault in the request itself: answered, then the connection ends, so whatever the
    // client still sends is never read as a request.
    void Refuse(int status, const std::string& message)
    {
        if (m_start == Clock::time_point())
            m_start = Clock::now();
        std::string method;
        std::string target;
        if (m_parser && m_parser->is_header_done()) {
            method = std::string(m_parser->get().method_string());
            target = std::string(m_parser->get().target().substr(0, 256));
        }
        m_parser.reset();
        CHttpRequest request;
        request.method = method;
        request.keepAlive = false;
        CHttpResponse response;
        m_server.errorPage(response, status, message);
        Send(method, target, ShapeResponse(request, std::move(response)), true);
    }

    // Over the connection limits or with every handler busy: a short fixed answer, no page
    // rendering, and the connection closed.
    void RefuseBusy(const std::string& method, const std::string& target, const std::string& message)
    {
        if (m_start == Clock::time_point())
            m_start = Clock::now();
        CHttpRequest request;
        request.method = method;
        request.keepAlive = false;
        CHttpResponse response;
        response.status = 503;
        response.SetContent(message, "text/plain; charset=UTF-8");
        response.SetHeader("Retry-After", "5");
        Send(method, target, ShapeResponse(request, std::move(response)), true);
    }

    void Send(const std::string& method, const std::string& target, CHttpAnswer answer, bool close)
    {
        m_server.log.LogHttp(m_address, method.empty() ? "-" : method, target, answer.status, answer.bodyBytes,
                             std::chrono::duration<double, std::milli>(Clock::now() - m_start).count());
        m_start = Clock::time_point();
        m_close = close;
        m_answer = std::move(answer.bytes);
        m_stream.expires_after(m_admitted ? m_server.idle + TransferAllowance(m_answer.size())
                                          : std::chrono::seconds(2));
        net::async_write(m_stream, net::buffer(m_answer),
                         beast::bind_front_handler(&CHttpConnection::OnWritten, shared_from_this()));
    }

    void OnWritten(beast::error_code ec, size_t)
    {
        m_answered = true;
        m_answer.clear();
        m_answer.shrink_to_fit();
        if (ec)
            return;
        if (m_close && !m_admitted) {
            // Turned away before it sent anything: no slot to spare for a lingering close.
            beast::error_code ignored;
            m_stream.socket().close(ignored);
            return;
        }
        if (m_close)
            return Linger();
        ReadHead();
    }

    // Closing at once, with the client's bytes still unread, could reset the connection
    // before the client has read the answer: send nothing more and read a little first.
    void Linger()
    {
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        m_stream.expires_after(std::chrono::seconds(2));
        Drain();
    }

    void Drain()
    {
        m_stream.async_read_some(net::buffer(m_scratch), [self = shared_from_this()](beast::error_code ec, size_t bytes) {
            self->m_drained += bytes;
            if (ec || self->m_drained > 1024 * 1024) {
                beast::error_code ignored;
                self->m_stream.socket().close(ignored);
                return;
            }
            self->Drain();
        });
    }

    beast::tcp_stream m_stream;
    // Kept apart from the stream, which Stop may close while a handler thread posts here.
    net::any_io_executor m_executor;
    CHttpFrontEnd::CImpl& m_server;
    std::string m_address;
    bool m_admitted;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    std::string m_answer;
    Clock::time_point m_start;
    Clock::time_point m_bodyStart;
    size_t m_bodyBytes = 0;
    bool m_close = false;
    bool m_answered = false;
    CDrainCount::EState m_state = CDrainCount::kIdle;
    std::array<char, 16 * 1024> m_scratch{};
    size_t m_drained = 0;
};
}  // namespace

void CHttpFrontEnd::CImpl::Accept()
{
    acceptor.async_accept(net::make_strand(io), [this](beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor.is_open())
            return;
        if (ec) {
            // Out of descriptors and the like: pause rather than spin.
            acceptPause.expires_after(std::chrono::milliseconds(100));
            acceptPause.async_wait([this](beast::error_code e) {
                if (!e)
                    Accept();
            });
            return;
        }
        beast::error_code ignored;
        std::string address = socket.remote_endpoint(ignored).address().to_string();
        socket.set_option(tcp::no_delay(true), ignored);
        bool admitted = connections.Admit(address);
        std::make_shared<CHttpConnection>(std::move(socket), *this, address, admitted)->Start();
        Accept();
    });
}

void CHttpFrontEnd::CImpl::Answer(CHttpRequest& request, CHttpResponse& response)
{
    try {
        if (!router.Dispatch(request, response)) {
            if (response.status == 404)
                errorPage(response, 404, "There is no page " + request.path + " on this server.");
            else
                errorPage(response, 405, "This page does not take " + request.method + " requests.");
        }
    } catch (const std::exception& e) {
        response = CHttpResponse();
        errorPage(response, 500, e.what());
    }
    if (response.status >= 400 && response.body.empty())
        errorPage(response, response.status, "The request could not be served.");
}

CHttpFrontEnd::CHttpFrontEnd(CAccessLog& log, CErrorPage errorPage, const CServerOptions& options)
    : m_impl(std::make_unique<CImpl>(log, std::move(errorPage), m_router, options))
{
}

CHttpFrontEnd::~CHttpFrontEnd() { Stop(); }

bool CHttpFrontEnd::Start(const CListenAddress& address, std::string& error)
{
    if (!m_impl) {
        error = "the HTTP listener has been stopped";
        return false;
    }
    beast::error_code ec;
    tcp::resolver resolver(m_impl->io);
    auto endpoints = resolver.resolve(address.host, std::to_string(address.port),
                                      tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    auto& acceptor = m_impl->acceptor;
    for (auto it = endpoints.begin(); !ec && it != endpoints.end(); ++it) {
        beast::error_code failed;
        acceptor.open(it->endpoint().protocol(), failed);
        if (!failed)
            acceptor.set_option(net::socket_base::reuse_address(true), failed);
        if (!failed)
            acceptor.bind(it->endpoint(), failed);
        if (!failed)
            acceptor.listen(net::socket_base::max_listen_connections, failed);
        if (!failed)
            break;
        beast::error_code ignored;
        acceptor.close(ignored);
    }
    if (ec || !acceptor.is_open()) {
        m_port = -1;
        error = "cannot listen for HTTP on " + address.host + ":" + std::to_string(address.port) +
                " (address in use or not on this machine)";
        return false;
    }
    m_port = acceptor.local_endpoint(ec).port();
    m_impl->Serve();
    return true;
}

bool CHttpFrontEnd::Start(int listeningSocket, std::string& error)
{
    if (!m_impl) {
        error = "the HTTP listener has been stopped";
        return false;
    }
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    beast::error_code ec;
    if (::getsockname(listeningSocket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        m_impl->acceptor.assign(address.ss_family == AF_INET6 ? tcp::v6() : tcp::v4(), listeningSocket, ec);
    if (ec || !m_impl->acceptor.is_open()) {
        m_port = -1;
        error = "cannot serve HTTP on the passed socket " + std::to_string(listeningSocket);
        return false;
    }
    m_port = m_impl->acceptor.local_endpoint(ec).port();
    m_impl->Serve();
    return true;
}

void CHttpFrontEnd::CImpl::Serve()
{
    net::dispatch(acceptor.get_executor(), [this] { Accept(); });
    handlers.Start();
    for (int i = 0; i < ioThreadCount; ++i)
        threads.emplace_back([this] { io.run(); });
}

void CHttpFrontEnd::StopAccepting()
{
    if (!m_impl || m_impl->threads.empty())
        return;
    m_impl->stopping = true;
    m_impl->drain.Stopping();
    // Closing only this process's descriptor: a passed socket stays open where it came from.
    net::post(m_impl->acceptor.get_executor(), [impl = m_impl.get()] {
        beast::error_code ignored;
        impl->acceptPause.cancel();
        impl->acceptor.close(ignored);
    });
}

bool CHttpFrontEnd::WaitUntilIdle(std::chrono::steady_clock::time_point deadline)
{
    if (!m_impl)
        return true;
    return m_impl->drain.WaitUntilIdle(deadline);
}

void CHttpFrontEnd::Stop()
{
    if (!m_impl || m_impl->threads.empty())
        return;
    m_impl->io.stop();
    for (auto& thread : m_impl->threads)
        thread.join();
    // A handler may take its time; its client is not kept waiting for it.
    {
        std::lock_guard lock(m_impl->handlingMutex);
        beast::error_code ignored;
        for (beast::tcp_stream* stream : m_impl->handling)
            stream->socket().close(ignored);
    }
    m_impl->handlers.Stop();
    // Destroying the I/O context destroys every connection waiting in it, which closes them.
    m_impl.reset();
}
