#pragma once
// A small HTTP server on 127.0.0.1 for the update tests: it listens on a free port, answers
// every request with the one canned reply it was given, and counts the requests. Started
// and stopped by the test itself.
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace reelsmith::test {

struct THttpReply {
    int Status = 200;
    std::string Body;
    // Instead of Body: this many bytes of 'x' (a huge answer), sent until the client leaves.
    std::size_t FillerBytes = 0;
    // Reads the request, then sends nothing and keeps the connection open.
    bool NeverAnswer = false;
};

class LocalHttpServer {
public:
    explicit LocalHttpServer(THttpReply reply);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // http://127.0.0.1:<port>/upd_converter.ini
    std::string Url() const;
    int Requests() const { return m_Requests; }
    // Connections accepted, with or without a request.
    int Connections() const { return m_Connections; }
    int Port() const { return m_Port; }

private:
    void Serve();
    void Answer(int client);

    THttpReply m_Reply;
    int m_Listener = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop{false};
    std::atomic<int> m_Requests{0};
    std::atomic<int> m_Connections{0};
    std::mutex m_ClientsLock;
    std::vector<int> m_Clients;
    std::thread m_Thread;
};

}  // namespace reelsmith::test
