#pragma once

#include "Wire.h"

#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <string>

namespace melodrift::tidelink {

// Resolves host:port to the first IPv4 address, asking for a datagram
// address first and a stream address next. Logs failures.
bool ResolveServiceHost(const std::string& host, uint16_t port, sockaddr_in& address);

enum class WaitResult { Ready, Timeout, Error, Stopped };
enum class ReceiveResult { Ok, Dropped, Lost };

// One transport to the service host: a connected UDP socket or a TCP stream.
// Send and receive may be called from one thread at a time; Abort may be
// called from any thread to wake a blocked user.
class Channel {
public:
    enum class Kind { Udp, Tcp };

    explicit Channel(Kind kind) : m_kind(kind) {}
    ~Channel() { Close(); }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    Kind GetKind() const { return m_kind; }
    bool Open(const sockaddr_in& address);
    // TCP only: non-blocking connect bounded by timeoutMs.
    bool Connect(const sockaddr_in& address, int timeoutMs, const std::function<bool()>& stop);
    void Abort();
    void Close();
    bool IsOpen() const { return m_fd.load() >= 0; }

    // Sends header and body in one datagram or one stream write; false (with
    // the log line) when not all bytes left.
    bool Send(const Message& message);
    // Polls in short slices up to timeoutMs; stop() ends the wait early.
    WaitResult WaitReadable(int timeoutMs, const std::function<bool()>& stop, int& error);
    ReceiveResult Receive(Message& message);

    // Connection probe: id 17, sequence 0, code 0; true on reply 18 code 0.
    bool Probe(int waitMs, int attempts, const std::function<bool()>& stop);

private:
    ReceiveResult ReceiveDatagram(Message& message);
    ReceiveResult ReceiveStream(Message& message);
    bool ReadExactly(uint8_t* to, size_t size);

    Kind m_kind;
    std::atomic<int> m_fd{-1};
};

} // namespace melodrift::tidelink
