#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace melodrift::tidelink {

inline constexpr size_t kHeaderSize = 10;
inline constexpr size_t kMaxBody = 8182;
inline constexpr size_t kReceiveCapacity = 8192;
inline constexpr size_t kSendCapacity = 8202;
inline constexpr uint16_t kMaxMessageId = 150;

// Message ids of the catalogue; each request n is answered by n + 1.
enum MessageId : uint16_t {
    kGreeting = 1,
    kProbe = 17,
    kLogin = 33,
    kRegister = 39,
    kUploadChunk = 65,
    kFetchChunk = 67,
    kStyleList = 97,
    kStyleDetail = 99,
    kStyleData = 101,
    kRecommended = 105,
    kUploadStart = 131,
    kQuestionSync = 145,
    kSubmitQuestion = 147,
    kNoticeSync = 149,
};

// A message as held in memory: the header's numbers and the body.
struct Message {
    uint16_t sequence = 0;
    uint16_t id = 0;
    uint16_t code = 0;
    uint16_t bodyLength = 0;
    std::array<uint8_t, kReceiveCapacity> body{};

    int32_t Int(size_t index) const; // little-endian int32 at index*4, 0 beyond the body
};

enum class DecodeStatus { Ok, BadMagic, BadId, BadLength };

// Writes header and body into out (kSendCapacity bytes); returns the size.
size_t EncodeMessage(const Message& message, uint8_t* out);

// Checks one received message and copies it out. Logs the reason of a
// rejection on the debug channel. Never reads beyond size.
DecodeStatus DecodeMessage(const uint8_t* data, size_t size, Message& out);

// Length of the whole message announced by a header (10 bytes at data), or
// 0 when the header is not acceptable.
size_t AnnouncedMessageSize(const uint8_t* data);

// Little-endian body builder bounded by the body capacity.
class BodyWriter {
public:
    explicit BodyWriter(Message& message) : m_message(message) { m_message.bodyLength = 0; }
    bool Int32(int32_t value);
    bool Int16(int16_t value);
    bool Bytes(const void* data, size_t size);
    bool Zeros(size_t size);
    bool Ok() const { return m_ok; }

private:
    Message& m_message;
    bool m_ok = true;
};

// Little-endian reader over outside bytes; every read is bounds-checked and
// a failed read leaves the reader failed.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Int32(int32_t& value);
    bool Int16(int16_t& value);
    bool UInt8(uint8_t& value);
    bool Bytes(size_t count, const uint8_t*& where);
    // A length-prefixed (int32) text of at most limit bytes.
    bool Text32(std::string& text, size_t limit);
    size_t Remaining() const { return m_size - m_pos; }
    size_t Position() const { return m_pos; }
    bool Ok() const { return m_ok; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

inline void PutInt32(uint8_t* p, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
    p[2] = static_cast<uint8_t>(u >> 16);
    p[3] = static_cast<uint8_t>(u >> 24);
}

inline int32_t GetInt32(const uint8_t* p)
{
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// Copies text into a fixed field, always NUL-terminated, cut to fit.
void CopyText(char* field, size_t capacity, std::string_view text);

} // namespace melodrift::tidelink
