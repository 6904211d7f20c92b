// Arbitrary records, counts, keys and buffer sizes through the composing
// entry points, over two fixed styles built in memory.
#include "../tests/KrvBuilder.h"
#include "../tests/TestStyle.h"
#include "Composer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace {

class Input {
public:
    Input(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    int32_t i32()
    {
        int32_t v = 0;
        size_t k = n_ - p_ < 4 ? n_ - p_ : 4;
        std::memcpy(&v, d_ + p_, k);
        p_ += k;
        return v;
    }
    uint8_t u8() { return p_ < n_ ? d_[p_++] : 0; }
    template <typename T>
    std::vector<T> records(size_t count)
    {
        std::vector<T> out(count);
        for (T& r : out) {
            int32_t a = i32(), b = i32();
            std::memcpy(&r, &a, 4);
            std::memcpy(reinterpret_cast<uint8_t*>(&r) + 4, &b, 4);
        }
        return out;
    }

private:
    const uint8_t* d_;
    size_t n_;
    size_t p_ = 0;
};

struct World {
    std::map<int32_t, std::vector<uint8_t>> data;
    melodrift::arrangix::StyleCatalog catalog;
    int32_t tempo = -1;
    melodrift::arrangix::Composer composer{catalog, {}, tempo};
    World()
    {
        data[1] = krvtest::deflate(krvtest::krv(krvtest::smallStyle(0)));
        data[2] = krvtest::deflate(krvtest::krv(krvtest::smallStyle(3)));
        melodrift::arrangix::StoreAccess a;
        a.getData = [this](int32_t id, const uint8_t** p, int32_t* size) {
            auto it = data.find(id);
            if (it == data.end())
                return -1;
            *p = it->second.data();
            *size = static_cast<int32_t>(it->second.size());
            return 0;
        };
        catalog.setStore(a);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World w;
    Input in(data, size);
    const int32_t key = in.i32();
    const size_t sections = in.u8() % 12, chords = in.u8() % 40, stages = in.u8() % 12, fills = in.u8() % 8;
    auto sectionRecs = in.records<SM_Section>(sections);
    auto chordRecs = in.records<SM_Chord>(chords);
    auto stageRecs = in.records<SM_Stage>(stages);
    auto fillRecs = in.records<SM_Fill>(fills);
    std::vector<int32_t> ids(stages);
    for (int32_t& id : ids)
        id = static_cast<int32_t>(in.u8() % 4);
    // Keep bar numbers and lengths near real songs so runs stay short.
    for (auto& s : sectionRecs)
        s.lastBar %= 200;
    for (auto& f : fillRecs)
        f.bar %= 400;
    const int32_t capacity = static_cast<int32_t>(in.u8()) * 256 - 100;
    w.tempo = in.u8() - 20;
    std::vector<uint8_t> buffer(static_cast<size_t>(capacity > 0 ? capacity : 0) + 1);
    int32_t written = capacity;
    w.composer.compose(key, &written, buffer.data(), int32_t(sections), sectionRecs.data(), int32_t(chords),
                       chordRecs.data(), int32_t(stages), stageRecs.data(), ids.data(), int32_t(fills), fillRecs.data());
    int32_t sc = int32_t(sections), cc = int32_t(chords), fc = int32_t(fills);
    written = capacity;
    if (sc > 0 && cc > 0)
        w.composer.baseCompose(key, &written, buffer.data(), &sc, sectionRecs.data(), &cc, chordRecs.data(), &fc,
                               fillRecs.data(), 1 + (key & 1));
    written = capacity;
    w.composer.setClock([t = int64_t(in.i32())] { return t; });
    w.composer.styleDemo(&written, buffer.data(), 1 + (key & 1), in.i32() % 5, in.i32(), in.i32(), in.i32());
    written = capacity;
    w.composer.styleDemoData(&written, buffer.data(), in.i32() % 300, 2);
    return 0;
}
