#include "RawHttpServer.h"

#include <cerrno>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

CRawHttpServer::CRawHttpServer(Handler handler)
    : m_handler(std::move(handler))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("cannot listen on loopback");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

CRawHttpServer::~CRawHttpServer()
{
    m_stopping = true;
    m_thread.join();
    ::close(m_listener);
}

std::vector<std::string> CRawHttpServer::Heads() const
{
    std::lock_guard lock(m_mutex);
    return m_heads;
}

bool CRawHttpServer::Send(int fd, const std::string& data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;  // the client went away
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool CRawHttpServer::Pause(std::chrono::milliseconds duration)
{
    auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        if (m_stopping)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !m_stopping;
}

void CRawHttpServer::Serve()
{
    while (!m_stopping) {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 20) <= 0)
            continue;
        int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos && !m_stopping) {
            pollfd readable{fd, POLLIN, 0};
            if (::poll(&readable, 1, 20) <= 0)
                continue;
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            head.append(buffer, static_cast<size_t>(n));
        }
        size_t end = head.find("\r\n\r\n");
        if (end != std::string::npos) {
            head.resize(end + 4);
            {
                std::lock_guard lock(m_mutex);
                m_heads.push_back(head);
            }
            m_handler(*this, fd, head);
        }
        ::close(fd);
    }
}
