// Arbitrary style data: raw "KRV" blocks, or zlib streams when the input does
// not start with the magic. A block that decodes is rendered segment by
// segment into a small buffer.
#include "Renderer.h"
#include "StyleDecoder.h"
#include "StyleDemo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

class OneStyle : public melodrift::arrangix::StyleSource {
public:
    std::shared_ptr<melodrift::arrangix::DecodedStyle> s;
    std::shared_ptr<melodrift::arrangix::DecodedStyle> style(int32_t id, bool) override { return s && s->id == id ? s : nullptr; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> bytes(data, size);
    bool raw = size >= 1 && data[0] == 'K';
    auto result = raw ? melodrift::arrangix::StyleDecoder::parse(bytes, 3) : melodrift::arrangix::StyleDecoder::decode(bytes, 3);
    if (result.error != 0 || !result.style)
        return 0;
    OneStyle source;
    source.s = result.style;
    std::vector<uint8_t> out(65536);
    for (int32_t code : {-1, 0, 256, 272}) {
        melodrift::arrangix::Plan plan = melodrift::arrangix::segmentDataPlan(*result.style, code);
        int32_t written = static_cast<int32_t>(out.size());
        melodrift::arrangix::Renderer(source, result.style, -1).render(plan, out.data(), &written);
    }
    for (int type : {-1, 0, 1, 2}) {
        melodrift::arrangix::Plan plan = melodrift::arrangix::demoPlan(*result.style, type, 0, 5, type & 1, 77);
        int32_t written = static_cast<int32_t>(out.size());
        melodrift::arrangix::Renderer(source, result.style, 500000).render(plan, out.data(), &written);
    }
    return 0;
}
