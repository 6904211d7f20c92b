#include "Wire.h"

#include "MelodriftPlatform.h"

#include <algorithm>

namespace melodrift::tidelink {

int32_t Message::Int(size_t index) const
{
    size_t at = index * 4;
    if (at + 4 > bodyLength)
        return 0;
    return GetInt32(body.data() + at);
}

size_t EncodeMessage(const Message& message, uint8_t* out)
{
    size_t length = std::min<size_t>(message.bodyLength, kSendCapacity - kHeaderSize);
    uint16_t field = static_cast<uint16_t>(length + 8);
    out[0] = 0x7E;
    out[1] = 0x6E;
    out[2] = static_cast<uint8_t>(field >> 8);
    out[3] = static_cast<uint8_t>(field);
    out[4] = static_cast<uint8_t>(message.sequence >> 8);
    out[5] = static_cast<uint8_t>(message.sequence);
    out[6] = static_cast<uint8_t>(message.id >> 8);
    out[7] = static_cast<uint8_t>(message.id);
    out[8] = static_cast<uint8_t>(message.code >> 8);
    out[9] = static_cast<uint8_t>(message.code);
    std::memcpy(out + kHeaderSize, message.body.data(), length);
    return kHeaderSize + length;
}

namespace {

uint16_t Big16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

DecodeStatus CheckHeader(const uint8_t* data, size_t size, bool log)
{
    if (data[0] != 0x7E || data[1] != 0x6E) {
        if (log)
            MDP_DebugOutput("读取网络消息失败：无效的消息头 %X %X\n", data[0], data[1]);
        return DecodeStatus::BadMagic;
    }
    uint16_t id = Big16(data + 6);
    if (id < 1 || id > kMaxMessageId) {
        if (log)
            MDP_DebugOutput("读取网络消息失败：无效的消息类型 %d\n", id);
        return DecodeStatus::BadId;
    }
    int length = int(Big16(data + 2)) - 8;
    if (length < 0 || length > int(kMaxBody) || size < kHeaderSize + size_t(length)) {
        if (log)
            MDP_DebugOutput("读取网络消息失败：无效的消息体长度 len=%d size=%d\n", length, int(size));
        return DecodeStatus::BadLength;
    }
    return DecodeStatus::Ok;
}

} // namespace

size_t AnnouncedMessageSize(const uint8_t* data)
{
    if (CheckHeader(data, kReceiveCapacity, true) != DecodeStatus::Ok)
        return 0;
    return kHeaderSize + (Big16(data + 2) - 8);
}

DecodeStatus DecodeMessage(const uint8_t* data, size_t size, Message& out)
{
    if (size < kHeaderSize) {
        MDP_DebugOutput("读取网络消息失败：无效的消息体长度 len=%d size=%d\n", -1, int(size));
        return DecodeStatus::BadLength;
    }
    DecodeStatus status = CheckHeader(data, size, true);
    if (status != DecodeStatus::Ok)
        return status;
    out.bodyLength = static_cast<uint16_t>(Big16(data + 2) - 8);
    out.sequence = Big16(data + 4);
    out.id = Big16(data + 6);
    out.code = Big16(data + 8);
    std::memcpy(out.body.data(), data + kHeaderSize, out.bodyLength);
    return DecodeStatus::Ok;
}

bool BodyWriter::Bytes(const void* data, size_t size)
{
    if (!m_ok || m_message.bodyLength + size > kMaxBody)
        return m_ok = false;
    if (size > 0)
        std::memcpy(m_message.body.data() + m_message.bodyLength, data, size);
    m_message.bodyLength = static_cast<uint16_t>(m_message.bodyLength + size);
    return true;
}

bool BodyWriter::Int32(int32_t value)
{
    uint8_t raw[4];
    PutInt32(raw, value);
    return Bytes(raw, 4);
}

bool BodyWriter::Int16(int16_t value)
{
    uint16_t u = static_cast<uint16_t>(value);
    uint8_t raw[2] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)};
    return Bytes(raw, 2);
}

bool BodyWriter::Zeros(size_t size)
{
    if (!m_ok || m_message.bodyLength + size > kMaxBody)
        return m_ok = false;
    std::memset(m_message.body.data() + m_message.bodyLength, 0, size);
    m_message.bodyLength = static_cast<uint16_t>(m_message.bodyLength + size);
    return true;
}

bool ByteReader::Bytes(size_t count, const uint8_t*& where)
{
    if (!m_ok || count > m_size - m_pos)
        return m_ok = false;
    where = m_data + m_pos;
    m_pos += count;
    return true;
}

bool ByteReader::Int32(int32_t& value)
{
    const uint8_t* p = nullptr;
    if (!Bytes(4, p))
        return false;
    value = GetInt32(p);
    return true;
}

bool ByteReader::Int16(int16_t& value)
{
    const uint8_t* p = nullptr;
    if (!Bytes(2, p))
        return false;
    value = static_cast<int16_t>(p[0] | p[1] << 8);
    return true;
}

bool ByteReader::UInt8(uint8_t& value)
{
    const uint8_t* p = nullptr;
    if (!Bytes(1, p))
        return false;
    value = p[0];
    return true;
}

bool ByteReader::Text32(std::string& text, size_t limit)
{
    int32_t length = 0;
    if (!Int32(length))
        return false;
    if (length < 0 || size_t(length) > limit)
        return m_ok = false;
    const uint8_t* p = nullptr;
    if (!Bytes(size_t(length), p))
        return false;
    text.assign(reinterpret_cast<const char*>(p), size_t(length));
    return true;
}

void CopyText(char* field, size_t capacity, std::string_view text)
{
    if (capacity == 0)
        return;
    size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

} // namespace melodrift::tidelink
