// A song's upload: permission, the description block and the file in chunks.
#include "Service.h"

#include "MelodriftPlatform.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace melodrift::tidelink {

namespace {

constexpr int32_t kChunkBytes = 1400;
constexpr uint16_t kUploadComplete = 5;

} // namespace

void Service::FillUploadResult(const Message& reply, CS_UploadResult* result) const
{
    if (result == nullptr || reply.bodyLength <= 8)
        return;
    result->songId = reply.Int(2);
    ByteReader in(reply.body.data(), reply.bodyLength);
    const uint8_t* skip = nullptr;
    if (!in.Bytes(12, skip))
        return;
    char* pages[2] = {result->firstPage, result->secondPage};
    for (char* page : pages) {
        uint8_t n = 0;
        const uint8_t* name = nullptr;
        if (!in.UInt8(n) || !in.Bytes(n, name))
            return;
        if (n > 0)
            CopyText(page, 256, m_config.webRoot + "/" + std::string(reinterpret_cast<const char*>(name), n));
    }
}

int Service::SendUploadChunks(int32_t handle, const void* info, FILE* file, int64_t total, MDP_Window window,
                              CS_UploadResult* result)
{
    int64_t sent = 0;
    std::vector<uint8_t> piece(CS_SONG_INFO_SIZE);
    for (int32_t index = 0;; ++index) {
        size_t count = CS_SONG_INFO_SIZE;
        if (index == 0)
            std::memcpy(piece.data(), info, CS_SONG_INFO_SIZE);
        else
            count = std::fread(piece.data(), 1, size_t(std::min<int64_t>(kChunkBytes, total - sent)), file);
        if (count == 0)
            return CS_ERR_FILE; // the file shrank while it was sent
        Message request, reply;
        PrepareRequest(request, kUploadChunk);
        BodyWriter body(request);
        body.Int32(handle);
        body.Int32(index);
        body.Int32(int32_t(count));
        body.Bytes(piece.data(), count);
        int r = CallerExchange(request, reply);
        if (r != 0) {
            MDP_DebugOutput("发送异常!\n");
            return r;
        }
        if (reply.code == kUploadComplete) {
            FillUploadResult(reply, result);
            Post(window, CS_UM_UPLOAD_DONE, 0, 0);
            return 0;
        }
        if (reply.code != 0) {
            MDP_DebugOutput("服务异常!\n");
            return reply.code;
        }
        if (reply.Int(0) != handle || reply.Int(1) != index)
            return CS_ERR_CHUNK_MISMATCH;
        sent += int64_t(count);
        if (sent >= total)
            return 0;
        if (index == 0)
            piece.resize(kChunkBytes);
        Post(window, CS_UM_UPLOAD_PROGRESS, intptr_t(sent * 100 / total), 0);
    }
}

int32_t Service::UploadSong(int32_t userId, const void* info, const char* path, MDP_Window window,
                            CS_UploadResult* result)
{
    if (userId == 0)
        return CS_ERR_NO_USER;
    if (m_stopping)
        return CS_ERR_NO_SERVICE;
    int64_t total = 0;
    if (info != nullptr) {
        FILE* probe = path != nullptr ? std::fopen(path, "rb") : nullptr;
        if (probe == nullptr)
            return CS_ERR_FILE;
        bool sized = std::fseek(probe, 0, SEEK_END) == 0;
        long size = sized ? std::ftell(probe) : -1;
        std::fclose(probe);
        if (size <= 0 || int64_t(size) + CS_SONG_INFO_SIZE > INT32_MAX)
            return CS_ERR_FILE;
        total = int64_t(size) + CS_SONG_INFO_SIZE;
    }
    m_proceed = true;
    Message request, reply;
    PrepareRequest(request, kUploadStart);
    BodyWriter body(request);
    body.Int32(m_edition);
    body.Int32(userId);
    body.Int32(int32_t(total));
    int r = CallerExchange(request, reply);
    if (r != 0)
        return r;
    if (info == nullptr || reply.code != 0)
        return reply.code;
    int32_t handle = reply.Int(0);
    Post(window, CS_UM_UPLOAD_PROGRESS, 0, 0);
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return CS_ERR_FILE;
    MDP_DebugOutput("Max pack size = %d\n", kChunkBytes);
    r = SendUploadChunks(handle, info, file, total, window, result);
    std::fclose(file);
    return r;
}

} // namespace melodrift::tidelink
