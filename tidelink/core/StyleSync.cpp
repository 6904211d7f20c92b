#include "DetailParser.h"
#include "Service.h"

#include "MelodriftPlatform.h"

#include <algorithm>
#include <cstring>

namespace melodrift::tidelink {

namespace {

constexpr int32_t kStyleListRecord = 16;
constexpr int32_t kMaxListedStyles = 100000;

} // namespace

void Service::ClearQueues()
{
    std::lock_guard guard(m_queueLock);
    m_detailQueue.clear();
    m_downloadQueue.clear();
}

bool Service::QueuesBusy() const
{
    std::lock_guard guard(m_queueLock);
    return !m_detailQueue.empty() || !m_downloadQueue.empty();
}

int32_t Service::QueueHead(const std::deque<int32_t>& queue) const
{
    std::lock_guard guard(m_queueLock);
    return queue.empty() ? 0 : queue.front();
}

int Service::SyncStyles()
{
    if (m_edition == 3 || m_store == nullptr)
        return 0;
    if (m_edition == 4 && m_login != 2) {
        ClearQueues();
        m_styleListPending = 0;
        return 0;
    }
    if (m_greeting == 2 && m_styleListPending == 1) {
        int r = SyncStyleList();
        if (r != 0)
            return r;
    }
    int r = FetchOneDetail();
    if (r == -1 || r == CS_ERR_CANCELLED)
        return r;
    if (m_recommendedWanted) {
        r = FetchRecommended();
        if (r == -1)
            return r;
    }
    return FetchOneDownload();
}

int Service::SyncStyleList()
{
    Message request, reply;
    PrepareRequest(request, kStyleList);
    BodyWriter body(request);
    int32_t sentStamp = m_store->GetUpdateDate();
    body.Int32(m_edition);
    body.Int32(UserId());
    body.Int32(sentStamp);
    int result = Exchange(request, reply, Origin::ServiceThread);
    int code = result != 0 ? result : reply.code;
    if (code != 0) {
        if (m_edition == 4) {
            reply.id = kStyleList + 1;
            reply.code = uint16_t(result == -1 ? CS_ERR_SOCKET : code);
            HandleReply(reply, 0);
            m_styleListPending = 0;
        }
        return result != 0 ? result : code;
    }
    int32_t count = reply.Int(0);
    if (count > kMaxListedStyles)
        return CS_ERR_CHUNK_MISMATCH;
    if (count <= 0) {
        if (m_edition == 4) {
            int32_t n = 0;
            m_store->UpdateIDlist(0, nullptr, &n, nullptr);
        }
        if (m_edition != 3 && m_edition != 4)
            m_recommendedWanted = true;
        HandleReply(reply, 0);
        m_styleListPending = 2;
        return 0;
    }
    int32_t stamp = reply.Int(1);
    if (reply.Int(3) != count * kStyleListRecord)
        return CS_ERR_CHUNK_MISMATCH; // the list would not hold what the reply announced
    m_newStamp = stamp;
    std::vector<uint8_t> records;
    int fetched = FetchChunks(reply.Int(2), reply.Int(3), kMaxStyleListBytes, records, Origin::ServiceThread);
    if (fetched != 0)
        return fetched;
    if (records.size() != size_t(count) * kStyleListRecord)
        return CS_ERR_CHUNK_MISMATCH;
    std::vector<tagStyleListItem> items(static_cast<size_t>(count));
    std::memcpy(items.data(), records.data(), records.size());
    std::vector<int32_t> ids(static_cast<size_t>(count));
    int32_t n = 0;
    m_store->UpdateIDlist(count, items.data(), &n, ids.data());
    n = std::clamp(n, 0, count);
    if (n == 0 && stamp != sentStamp)
        m_store->SetUpdateDate(stamp);
    {
        std::lock_guard guard(m_queueLock);
        m_detailQueue.insert(m_detailQueue.end(), ids.begin(), ids.begin() + n);
    }
    if (m_edition == 4) {
        for (const tagStyleListItem& item : items)
            if (std::find(ids.begin(), ids.begin() + n, item.id) == ids.begin() + n)
                Post(m_config.notifyWindow, CS_UM_SERVICE_EVENT, 0x640000, item.id);
    }
    HandleReply(reply, 0);
    m_styleListPending = 2;
    return 0;
}

int Service::FetchOneDetail()
{
    int32_t head = 0;
    {
        std::lock_guard guard(m_queueLock);
        if (m_detailQueue.empty())
            return 0;
        head = m_detailQueue.front();
    }
    Message request, reply;
    PrepareRequest(request, kStyleDetail);
    BodyWriter body(request);
    body.Int32(m_edition);
    body.Int32(head);
    int result = Exchange(request, reply, Origin::ServiceThread);
    if (result == -1) {
        MDP_DebugOutput("No response, connect again.\n");
        return -1;
    }
    if (result == CS_ERR_CANCELLED) {
        ClearQueues();
        return result;
    }
    if (result != 0 || reply.code != 0)
        return result != 0 ? result : reply.code;
    StyleInfoRecord record{};
    PutInt32(record.data(), head);
    ResetDetailBlock(record);
    int32_t size = reply.Int(2);
    bool valid = size >= 0 && size_t(size) + 12 <= reply.bodyLength &&
                 ParseDetail(reply.body.data() + 12, size_t(size), record);
    if (!valid) {
        MDP_DebugOutput("Style detail data error!\n");
        return CS_ERR_SERVER;
    }
    tagStyleInfo info;
    std::memcpy(&info, record.data(), sizeof info);
    m_store->UpdateDetail(head, &info);
    if (m_edition == 4)
        HandleReply(reply, 0);
    bool emptied = false;
    {
        std::lock_guard guard(m_queueLock);
        if (!m_detailQueue.empty() && m_detailQueue.front() == head)
            m_detailQueue.pop_front();
        emptied = m_detailQueue.empty();
    }
    if (emptied) {
        m_store->SetUpdateDate(m_newStamp);
        if (m_edition != 3 && m_edition != 4)
            m_recommendedWanted = true;
    }
    return 0;
}

int Service::FetchRecommended()
{
    Message request, reply;
    PrepareRequest(request, kRecommended);
    int result = Exchange(request, reply, Origin::ServiceThread);
    if (result == -1) {
        MDP_DebugOutput("No response, connect again.\n");
        return -1;
    }
    m_recommendedWanted = false;
    if (result != 0 || reply.code != 0)
        return result != 0 ? result : reply.code;
    int32_t count = reply.Int(0);
    // The ids must all be inside the reply.
    if (count <= 0 || size_t(count) > (reply.bodyLength - 4u) / 4)
        return 0;
    std::vector<int32_t> ids(static_cast<size_t>(count)), wanted(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        ids[size_t(i)] = reply.Int(size_t(i) + 1);
    int32_t n = 0;
    m_store->UpdateRecomlist(count, ids.data(), &n, wanted.data());
    n = std::clamp(n, 0, count);
    std::lock_guard guard(m_queueLock);
    m_downloadQueue.insert(m_downloadQueue.end(), wanted.begin(), wanted.begin() + n);
    return 0;
}

int Service::DownloadNow(int32_t styleId, Origin origin, std::vector<uint8_t>& data, int& replyCode)
{
    Message request, reply;
    PrepareRequest(request, kStyleData);
    BodyWriter body(request);
    body.Int32(m_edition);
    body.Int32(styleId);
    int result = origin == Origin::Caller ? CallerExchange(request, reply) : Exchange(request, reply, origin);
    replyCode = reply.code;
    if (result != 0 || reply.code != 0)
        return result;
    return FetchChunks(reply.Int(0), reply.Int(1), kMaxStyleDataBytes, data, origin);
}

int Service::FetchOneDownload()
{
    int32_t head = 0;
    {
        std::lock_guard guard(m_queueLock);
        if (m_downloadQueue.empty())
            return 0;
        head = m_downloadQueue.front();
    }
    std::vector<uint8_t> data;
    int code = 0;
    int result = DownloadNow(head, Origin::ServiceThread, data, code);
    if (result == -1 && m_connected)
        result = CS_ERR_CHUNK_MISMATCH; // nothing to fetch was announced: the transport is fine
    if (result == -1) {
        MDP_DebugOutput("No response, connect again.\n");
        return -1;
    }
    if (result == CS_ERR_CANCELLED) {
        ClearQueues();
        return result;
    }
    if (result == 0 && code != 0)
        return code; // refused: the head stays for another pass
    // A download that could not be fetched or stored is reported with its
    // code, never as a completion.
    int status = result;
    if (status == 0 && m_store->UpdateData(head, int32_t(data.size()), data.data()) != 0)
        status = CS_ERR_FILE;
    Message done;
    done.id = kStyleData + 1;
    done.code = uint16_t(status);
    if (m_edition == 4)
        HandleReply(done, 0);
    else
        Post(m_downloadWindow.load(), CS_UM_SERVICE_EVENT, intptr_t(done.id) << 16 | done.code, head);
    std::lock_guard guard(m_queueLock);
    if (!m_downloadQueue.empty() && m_downloadQueue.front() == head)
        m_downloadQueue.pop_front();
    return result;
}

int32_t Service::DownloadStyle(int32_t styleId, MDP_Window window)
{
    if (m_stopping)
        return CS_ERR_NO_SERVICE;
    m_proceed = true;
    m_downloadWindow = window;
    if (window != nullptr) {
        {
            std::lock_guard guard(m_queueLock);
            m_downloadQueue.push_back(styleId);
        }
        m_work.release();
        return 0;
    }
    if (m_greeting != 2 || m_store == nullptr)
        return -1;
    std::vector<uint8_t> data;
    int code = 0;
    int result = DownloadNow(styleId, Origin::Caller, data, code);
    if (result != 0 || code != 0)
        return result != 0 ? result : code;
    if (m_store->UpdateData(styleId, int32_t(data.size()), data.data()) != 0)
        return CS_ERR_FILE;
    return 0;
}

} // namespace melodrift::tidelink
