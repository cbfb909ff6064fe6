#include "support/local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace reelsmith::test {

namespace {

constexpr int kPollMs = 50;

const char* ReasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

bool SendAll(int socket, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

}  // namespace

LocalHttpServer::LocalHttpServer(THttpReply reply) : m_Reply(std::move(reply))
{
    m_Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (m_Listener < 0 || ::bind(m_Listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_Listener, 8) != 0 || ::getsockname(m_Listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    m_Port = ntohs(address.sin_port);
    m_Thread = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer()
{
    m_Stop = true;
    m_Thread.join();
    std::lock_guard lock(m_ClientsLock);
    for (int client : m_Clients)
        ::close(client);
    ::close(m_Listener);
}

std::string LocalHttpServer::Url() const { return "http://127.0.0.1:" + std::to_string(m_Port) + "/upd_converter.ini"; }

void LocalHttpServer::Serve()
{
    while (!m_Stop) {
        pollfd listener{m_Listener, POLLIN, 0};
        if (::poll(&listener, 1, kPollMs) <= 0)
            continue;
        const int client = ::accept4(m_Listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++m_Connections;
        {
            std::lock_guard lock(m_ClientsLock);
            m_Clients.push_back(client);
        }
        Answer(client);
    }
}

void LocalHttpServer::Answer(int client)
{
    // Read until the end of the request head; the client sends no body.
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && !m_Stop) {
        pollfd readable{client, POLLIN, 0};
        if (::poll(&readable, 1, kPollMs) <= 0)
            continue;
        const ssize_t got = ::recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0)
            return;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    ++m_Requests;
    if (m_Reply.NeverAnswer)
        return;
    const std::size_t bodySize = m_Reply.FillerBytes ? m_Reply.FillerBytes : m_Reply.Body.size();
    const std::string head = "HTTP/1.1 " + std::to_string(m_Reply.Status) + " " + ReasonPhrase(m_Reply.Status) +
                             "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(bodySize) +
                             "\r\nConnection: close\r\n\r\n";
    if (!SendAll(client, head.data(), head.size()))
        return;
    if (!m_Reply.FillerBytes) {
        SendAll(client, m_Reply.Body.data(), m_Reply.Body.size());
        return;
    }
    const std::string chunk(64 * 1024, 'x');
    for (std::size_t left = m_Reply.FillerBytes; left > 0 && !m_Stop;) {
        const std::size_t size = std::min(left, chunk.size());
        if (!SendAll(client, chunk.data(), size))
            return;  // the client gave up, as it should
        left -= size;
    }
}

}  // namespace reelsmith::test
