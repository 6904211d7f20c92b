#include "Wire.h"

#include "LogLines.h"
#include "MelodriftPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace melodrift::tidelink;

namespace {

std::vector<uint8_t> Header(uint16_t lengthField, uint16_t id, uint16_t sequence = 7, uint16_t code = 0)
{
    return {0x7E, 0x6E, uint8_t(lengthField >> 8), uint8_t(lengthField), uint8_t(sequence >> 8), uint8_t(sequence),
            uint8_t(id >> 8), uint8_t(id), uint8_t(code >> 8), uint8_t(code)};
}

class WireTest : public ::testing::Test {
protected:
    melodrift::testsupport::LogLines m_log;
};

TEST_F(WireTest, EncodedMessageDecodesToTheSameFields)
{
    Message out;
    out.sequence = 0xBEEF;
    out.id = kStyleList;
    out.code = 1024 + 2;
    BodyWriter body(out);
    body.Int32(-5);
    body.Int16(300);
    uint8_t wire[kSendCapacity];
    size_t size = EncodeMessage(out, wire);
    ASSERT_EQ(size, kHeaderSize + 6);
    EXPECT_EQ(wire[2], 0);
    EXPECT_EQ(wire[3], 14); // body length + 8, big-endian
    EXPECT_EQ(wire[4], 0xBE);
    EXPECT_EQ(wire[5], 0xEF);
    EXPECT_EQ(wire[10], 0xFB); // body integers little-endian
    Message in;
    ASSERT_EQ(DecodeMessage(wire, size, in), DecodeStatus::Ok);
    EXPECT_EQ(in.sequence, 0xBEEF);
    EXPECT_EQ(in.id, kStyleList);
    EXPECT_EQ(in.code, 1026);
    EXPECT_EQ(in.bodyLength, 6);
    EXPECT_EQ(in.Int(0), -5);
    EXPECT_EQ(in.Int(1), 0) << "an int beyond the body reads as 0";
}

TEST_F(WireTest, ReceivedMessagesAreCheckedBeforeUse)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        DecodeStatus expected;
        const char* logStart;
    };
    std::vector<uint8_t> maxBody = Header(8 + 8182, 2);
    maxBody.resize(kHeaderSize + 8182, 0x55);
    std::vector<uint8_t> tooLong = Header(8 + 8183, 2);
    tooLong.resize(kHeaderSize + 8183 > kReceiveCapacity ? kReceiveCapacity : kHeaderSize + 8183, 0x55);
    std::vector<uint8_t> shortBody = Header(8 + 20, 2);
    shortBody.resize(kHeaderSize + 19);
    std::vector<uint8_t> badMagic = Header(8, 2);
    badMagic[0] = 0x7F;
    std::vector<uint8_t> lengthBelow8 = Header(7, 2);
    const std::vector<Case> cases = {
        {"empty body", Header(8, 2), DecodeStatus::Ok, nullptr},
        {"largest body", maxBody, DecodeStatus::Ok, nullptr},
        {"body of 8183 bytes", tooLong, DecodeStatus::BadLength, "读取网络消息失败：无效的消息体长度 len=8183"},
        {"body shorter than announced", shortBody, DecodeStatus::BadLength, "读取网络消息失败：无效的消息体长度 len=20 size=29"},
        {"length field below 8", lengthBelow8, DecodeStatus::BadLength, "读取网络消息失败：无效的消息体长度 len=-1"},
        {"bad magic", badMagic, DecodeStatus::BadMagic, "读取网络消息失败：无效的消息头 7F 6E"},
        {"id 0", Header(8, 0), DecodeStatus::BadId, "读取网络消息失败：无效的消息类型 0"},
        {"id 151", Header(8, 151), DecodeStatus::BadId, "读取网络消息失败：无效的消息类型 151"},
        {"shorter than a header", {0x7E, 0x6E, 0}, DecodeStatus::BadLength, "读取网络消息失败：无效的消息体长度"},
    };
    for (const Case& c : cases) {
        m_log.Clear();
        Message m;
        EXPECT_EQ(DecodeMessage(c.bytes.data(), c.bytes.size(), m), c.expected) << c.name;
        if (c.logStart != nullptr) {
            const auto lines = m_log.Lines();
            ASSERT_EQ(lines.size(), 1u) << c.name;
            EXPECT_NE(lines[0].find(c.logStart), std::string::npos) << c.name << ": " << lines[0];
        } else {
            EXPECT_TRUE(m_log.Lines().empty()) << c.name;
        }
    }
}

TEST_F(WireTest, BodyWriterRefusesToGrowPastTheLargestBody)
{
    Message m;
    BodyWriter body(m);
    std::vector<uint8_t> big(kMaxBody - 2, 1);
    EXPECT_TRUE(body.Bytes(big.data(), big.size()));
    EXPECT_FALSE(body.Int32(1));
    EXPECT_FALSE(body.Ok());
    EXPECT_EQ(m.bodyLength, kMaxBody - 2);
}

TEST_F(WireTest, ByteReaderStopsAtTheEnd)
{
    const uint8_t bytes[] = {3, 0, 0, 0, 'a', 'b', 'c', 9, 0, 0, 0, 'x'};
    ByteReader in(bytes, sizeof bytes);
    std::string text;
    EXPECT_TRUE(in.Text32(text, 10));
    EXPECT_EQ(text, "abc");
    EXPECT_FALSE(in.Text32(text, 100)) << "a length of 9 with one byte left must fail";
    EXPECT_FALSE(in.Ok());
    int32_t v = 0;
    EXPECT_FALSE(in.Int32(v)) << "a failed reader stays failed";

    const uint8_t negative[] = {0xFF, 0xFF, 0xFF, 0xFF};
    ByteReader neg(negative, sizeof negative);
    EXPECT_FALSE(neg.Text32(text, 100));
}

} // namespace
