#include "Service.h"

#include "MelodriftPlatform.h"

namespace melodrift::tidelink {

void Service::PrepareRequest(Message& request, uint16_t id) const
{
    request.id = id;
    request.code = static_cast<uint16_t>(1024 + m_edition);
    request.bodyLength = 0;
}

void Service::EndedLogin()
{
    m_styleListPending = 0;
    m_login = 0;
    m_greeting = 1;
    m_work.release();
}

int Service::AwaitReply(const Message& request, Message& reply, Origin origin)
{
    const Timing& t = m_config.timing;
    auto stop = [this, origin] { return m_stopping || (origin == Origin::Caller && !m_proceed); };
    // Five polls of a second: messages that are dropped on the way do not
    // lengthen the wait.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(t.replyPollMs * t.replyPolls);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return CS_ERR_TIMEOUT;
        int error = 0;
        WaitResult waited = m_transport->WaitReadable(int(std::min<long long>(left.count(), t.replyPollMs)), stop, error);
        if (waited == WaitResult::Stopped)
            return m_stopping ? CS_ERR_NO_SERVICE : CS_ERR_CANCELLED;
        if (waited == WaitResult::Error) {
            MDP_DebugOutput("Socket error, errcode=%d\n", error);
            return CS_ERR_SOCKET;
        }
        if (waited == WaitResult::Timeout)
            continue;
        ReceiveResult received = m_transport->Receive(reply);
        if (received == ReceiveResult::Lost)
            return -1;
        if (received == ReceiveResult::Dropped)
            continue;
        if (reply.id != request.id + 1) {
            MDP_DebugOutput("读取网络消息失败：无效的响应消息 respect %X, get %X\n", request.id + 1, reply.id);
            continue;
        }
        if (reply.sequence != request.sequence) {
            MDP_DebugOutput("读取网络消息失败：无效的序列号\n");
            continue;
        }
        return 0;
    }
}

int Service::Exchange(Message& request, Message& reply, Origin origin)
{
    std::lock_guard guard(m_exchangeLock);
    request.sequence = m_sequence.fetch_add(1);
    int result = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (request.id != kGreeting && !m_proceed) {
            result = CS_ERR_CANCELLED;
            break;
        }
        if (m_stopping) {
            // Nothing was answered: a stop is never a success.
            if (result == 0)
                result = CS_ERR_NO_SERVICE;
            break;
        }
        if (m_transport == nullptr || !m_transport->Send(request)) {
            m_connected = false;
            result = -1;
            break;
        }
        result = AwaitReply(request, reply, origin);
        // A stream out of step (a broken frame, or the peer closed it) is
        // made again and the same request, with its sequence number, sent
        // once more within the attempts left: the server answers a retry
        // from its record instead of running it twice.
        if (result == -1 && attempt + 1 < 3 && m_transport == m_tcp.channel.get() && !m_stopping) {
            MDP_DebugOutput("TCP stream lost, connect again.\n");
            if (ReopenStream(request.id))
                continue;
        }
        if (result == -1)
            m_connected = false;
        if (result != CS_ERR_TIMEOUT)
            break;
    }
    if (result == 0 && reply.code == 3 && request.id != kGreeting) {
        EndedLogin();
        result = CS_ERR_CANCELLED;
    }
    if (result != 0) {
        reply.id = static_cast<uint16_t>(request.id + 1);
        reply.code = static_cast<uint16_t>(result);
        reply.bodyLength = 0;
    }
    return result;
}

int Service::CallerExchange(Message& request, Message& reply)
{
    if (m_mandatoryUpdate)
        return CS_ERR_NO_SERVICE;
    while (m_proceed) {
        int result = Exchange(request, reply, Origin::Caller);
        if (result != -1)
            return result;
        m_work.release();
        m_callerWaiting = true;
        bool woken = m_done.try_acquire_for(std::chrono::milliseconds(m_config.timing.doneWaitMs));
        m_callerWaiting = false;
        if (!woken)
            return CS_ERR_TIMEOUT;
        if (m_stopping || m_mandatoryUpdate)
            return CS_ERR_NO_SERVICE;
    }
    return CS_ERR_CANCELLED;
}

int Service::FetchChunks(int32_t handle, int32_t size, size_t limit, std::vector<uint8_t>& out, Origin origin)
{
    out.clear();
    if (size <= 0)
        return -1;
    // The server names the size; each purpose has its own ceiling.
    if (size_t(size) > limit) {
        MDP_DebugOutput("Transfer of %d bytes refused (at most %d).\n", int(size), int(limit));
        return CS_ERR_CHUNK_MISMATCH;
    }
    // The announced size is the server's word: grow with what arrives.
    out.reserve(std::min<size_t>(size_t(size), 1u << 20));
    int result = 0;
    Message request, reply;
    for (int32_t index = 0; out.size() < size_t(size); ++index) {
        PrepareRequest(request, kFetchChunk);
        BodyWriter body(request);
        body.Int32(handle);
        body.Int32(index);
        result = origin == Origin::Caller ? CallerExchange(request, reply) : Exchange(request, reply, origin);
        if (result == 0 && reply.code != 0)
            result = reply.code;
        if (result != 0)
            break;
        int32_t count = reply.Int(2);
        if (reply.Int(0) != handle || reply.Int(1) != index || count < 0 || size_t(count) + 12 > reply.bodyLength ||
            out.size() + size_t(count) > size_t(size) || (count == 0 && out.size() < size_t(size))) {
            result = CS_ERR_CHUNK_MISMATCH;
            break;
        }
        out.insert(out.end(), reply.body.data() + 12, reply.body.data() + 12 + count);
    }
    if (result != -1) {
        PrepareRequest(request, kFetchChunk);
        BodyWriter body(request);
        body.Int32(handle);
        body.Int32(-1);
        Message ignored;
        (void)Exchange(request, ignored, origin);
    }
    return result;
}

} // namespace melodrift::tidelink
