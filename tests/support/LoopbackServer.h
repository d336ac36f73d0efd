#pragma once
// A web server on the loopback address for the real-browser tests: every request gets a small
// page that sets a cookie and may be cached for a day; a page whose address holds "/stored"
// also keeps a value in the site's local storage, one holding "/indexed" a record in its
// IndexedDB, and one with "next=<address>" in its query goes on to that address. One whose
// address holds "/both-storages" keeps a value named after its host in local and in session
// storage, and on 127.0.0.1 frames the same page from localhost, which does the same. A test may
// write the pages itself instead: `pages` gets each request's target ("/path?query") and
// returns the page's body.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

namespace quenvor::test {

class LoopbackServer {
public:
    explicit LoopbackServer(std::function<std::string(const std::string& target)> pages = {})
        : m_pages(std::move(pages)) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        // A server that is not listening would leave the browser's page blank, and the test
        // would look for its tokens in a profile that never saw them.
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(m_fd, 16) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("the loopback server could not listen");
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        m_stop = true;
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_thread.join();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Another name of the loopback address ("localhost") makes the page another site.
    std::string url(const std::string& path, const std::string& host = "127.0.0.1") const {
        return "http://" + host + ":" + std::to_string(m_port) + path;
    }
    int port() const { return m_port; }

private:
    void serve() {
        while (!m_stop) {
            const int c = ::accept(m_fd, nullptr, nullptr);
            if (c < 0) break;
            // A connection the browser opens ahead of need may never carry a request: it is not
            // waited for long, or the requests behind it would wait with it.
            timeval limit{1, 0};
            ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            char buf[4096] = {};
            const auto got = ::recv(c, buf, sizeof buf - 1, 0);
            const std::string request(buf, got > 0 ? static_cast<std::size_t>(got) : 0);
            const std::string line = request.substr(0, request.find('\n'));
            const bool stored = line.find("/stored") != std::string::npos;
            const bool indexed = line.find("/indexed") != std::string::npos;
            const bool both = line.find("/both-storages") != std::string::npos;
            std::string next;
            if (const auto at = line.find("next="); at != std::string::npos)
                next = line.substr(at + 5, line.find_first_of(" &", at) - at - 5);
            const auto target = line.find(' ');
            const std::string body =
                m_pages
                    ? m_pages(line.substr(target + 1, line.find(' ', target + 1) - target - 1))
                    : std::string("<html><head><title>Private page</title></head><body>loopback") +
                          (stored ? "<script>localStorage.setItem('visit', 'loopback-storage-secret')</script>" : "") +
                          (indexed ? "<script>indexedDB.open('visits', 1).onupgradeneeded = e => e.target.result"
                                     ".createObjectStore('s').put('loopback-indexed-secret', 'k')</script>"
                                   : "") +
                          (both ? "<script>var t = location.hostname.split('.').join('_') + '-storage-token';"
                                  "localStorage.setItem('visit', 'local-' + t); sessionStorage.setItem('visit', "
                                  "'session-' + t);"
                                  "if (location.hostname == '127.0.0.1') { var f = document.createElement('iframe');"
                                  "f.src = 'http://localhost:' + location.port + location.pathname;"
                                  "document.body.appendChild(f); }</script>"
                                : "") +
                          (next.empty() ? ""
                                        : "<script>setTimeout(() => location.href = '" + next + "', 1500)</script>") +
                          "</body></html>";
            const std::string reply =
                "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nCache-Control: max-age=86400\r\n"
                "Set-Cookie: sid=loopback-secret; Max-Age=86400; Path=/\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            (void)!::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(c);
        }
    }
    std::function<std::string(const std::string&)> m_pages;
    int m_fd = -1, m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace quenvor::test
