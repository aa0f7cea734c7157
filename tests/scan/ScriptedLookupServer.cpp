#include "ScriptedLookupServer.h"

#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
void SendAll(int fd, const std::string& text)
{
    size_t sent = 0;
    while (sent < text.size()) {
        ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}
}  // namespace

CScriptedLookupServer::CScriptedLookupServer(std::string greeting) : m_greeting(std::move(greeting))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listener, 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot start the scripted lookup server");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
}

CScriptedLookupServer::~CScriptedLookupServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

void CScriptedLookupServer::Answer(const std::string& request, CReply reply)
{
    std::lock_guard lock(m_mutex);
    m_script[request] = std::move(reply);
}

void CScriptedLookupServer::Count(const std::vector<std::string>& prefixes, int count)
{
    for (const std::string& prefix : prefixes)
        Answer("GETCOUNT " + prefix, "200 " + std::to_string(count) + "\n");
}

std::vector<std::string> CScriptedLookupServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

CScriptedLookupServer::CReply CScriptedLookupServer::ReplyTo(const std::string& request) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_script.find(request);
    if (found != m_script.end())
        return found->second;
    if (request.rfind("GETCOUNT ", 0) == 0)
        return CReply{{"200 0\n"}};
    if (request.rfind("GETSCID ", 0) == 0 || request.rfind("GETFP ", 0) == 0)
        return CReply{{"201\n"}};
    if (m_batches && request.rfind("BATCH ", 0) == 0)
        return CReply{};
    return CReply{{"500 unknown request\n"}};
}

void CScriptedLookupServer::Run()
{
    while (!m_stop) {
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++m_connections;
        int one = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Serve(client);
        ::close(client);
    }
}

void CScriptedLookupServer::Serve(int client)
{
    if (!m_greeting.empty())
        SendAll(client, m_greeting);
    std::string pending;
    char buffer[4096];
    while (!m_stop) {
        pollfd entry{client, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        pending.append(buffer, static_cast<size_t>(n));
        for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            std::string request = pending.substr(0, end);
            pending.erase(0, end + 1);
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(request);
            }
            CReply reply = ReplyTo(request);
            for (size_t i = 0; i < reply.chunks.size(); ++i) {
                if (i > 0)
                    std::this_thread::sleep_for(kChunkPause);
                SendAll(client, reply.chunks[i]);
            }
            if (reply.after == CReply::CAfter::Close)
                return;
        }
    }
}
