#include "FakeEngine.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "Patbank.h"

namespace melodrift::test {

FakeState& Fake()
{
    static FakeState state;
    return state;
}

namespace {

int32_t InitialObjects(MDP_Window, const char*) { return 0; }
int32_t DestroyObjects() { return 0; }
int32_t GetFontInfo(const char* path, char name[80], char info1[128], char info2[256])
{
    const std::string p = path;
    if (p.size() < 4 || p.substr(p.size() - 4) != ".sf2")
        return -1;
    name[0] = info1[0] = info2[0] = '\0';
    if (p.find("named") != std::string::npos)
        std::snprintf(name, 80, "Pop default");
    return 0;
}
int32_t SetFont(const FONTINFO* f)
{
    Fake().fontsSet.push_back(f->path);
    return 0;
}
int32_t GetMelodyInfo(int32_t* key, int32_t, int32_t)
{
    if (key)
        return *key = 0;
    return static_cast<int32_t>(Fake().pitches.size());
}
int32_t GetMelody(int8_t* p, uint16_t* l, int32_t)
{
    const FakeState& f = Fake();
    std::copy(f.pitches.begin(), f.pitches.end(), p);
    std::copy(f.lengths.begin(), f.lengths.end(), l);
    return static_cast<int32_t>(f.pitches.size());
}
int32_t SetTempo(int32_t t)
{
    Fake().tempoCalls.push_back(t);
    return 0;
}
int32_t SetMetre(int32_t m)
{
    Fake().metreCalls.push_back(m);
    return 0;
}
int32_t LoadBase(const uint8_t*, int32_t) { return Fake().loadBaseResult; }
int32_t LoadCompose(const uint8_t*, int32_t) { return Fake().loadComposeResult; }
int32_t SetVolume(int32_t s, float v)
{
    Fake().volumeCalls.emplace_back(s, v);
    return 0;
}
int32_t GetLength(int32_t s)
{
    auto it = Fake().streamLength.find(s);
    return it == Fake().streamLength.end() ? 0 : it->second;
}
int32_t SetLength(int32_t s, int32_t ms)
{
    Fake().streamLength[s] = ms;
    return 0;
}
int32_t SetFx(int32_t id, int32_t state)
{
    Fake().fxCalls.emplace_back(id, state);
    return 0;
}
int32_t Combine(int32_t, int32_t count, const MM_VoiceSegment* s, int32_t* value)
{
    Fake().segments.assign(s, s + count);
    Fake().combineValueSeen = *value;
    return Fake().combineResult;
}
int32_t SaveProjectBlock(MDP_Window, const char* path)
{
    const int32_t n = Fake().engineBlockSize;
    if (n <= 0)
        return n;
    std::vector<char> block(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        block[i] = static_cast<char>(i * 7);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(block.data(), n);
    return out ? n : -4;
}
int32_t LoadProjectBlock(MDP_Window, const char*, int32_t offset, uint32_t version, int32_t)
{
    Fake().loadProjectOffset = offset;
    Fake().loadProjectVersion = version;
    return Fake().loadProjectResult;
}
int32_t LoadBlock(const char*, int32_t, int32_t size) { return size; }
int32_t LoadAnalysisBlock(const char*, int32_t, uint32_t) { return 0; }
int32_t AutoAdjust(int32_t) { return 0; }
int32_t RecordDevice(int32_t*, const char*, int32_t*, float*) { return 0; }

uint8_t CheckStyle(int32_t id) { return Fake().loadableStyles.count(id) ? 1 : 0; }
int32_t SegmentBars(int32_t code, int32_t style)
{
    auto it = Fake().segmentBars.find({code, style});
    return it == Fake().segmentBars.end() ? 0 : it->second;
}
int32_t StyleInfo(int32_t id, void* record)
{
    if (!Fake().knownStyles.count(id))
        return -1;
    auto* info = static_cast<tagStyleInfo*>(record);
    std::memset(info, 0, sizeof *info);
    info->id = id;
    info->state = SF_STATE_INSTALLED;
    std::snprintf(info->name, sizeof info->name, "Style%d", id);
    return 0;
}
int32_t InputNotes(const uint8_t*, const uint16_t*, int32_t, int32_t, int32_t, int32_t, int32_t* bars)
{
    *bars = Fake().melodyBars;
    return 0;
}

template <typename T>
void Answer(const std::vector<T>& sent, const std::vector<T>& scripted, bool echo, int32_t* count, T* out)
{
    const std::vector<T>& answer = echo && scripted.empty() ? sent : scripted;
    std::copy(answer.begin(), answer.end(), out);
    *count = static_cast<int32_t>(answer.size());
}

int32_t Base(int32_t, int32_t* size, uint8_t*, int32_t* sc, SM_Section* s, int32_t* cc, SM_Chord* c,
             int32_t* fc, SM_Fill* f, int32_t)
{
    FakeState& fake = Fake();
    fake.sentSections.assign(s, s + *sc);
    fake.sentChords.assign(c, c + *cc);
    fake.sentFills.assign(f, f + *fc);
    if (fake.baseResult != 0)
        return fake.baseResult;
    Answer(fake.sentSections, fake.returnSections, fake.echoComposerInput, sc, s);
    Answer(fake.sentChords, fake.returnChords, fake.echoComposerInput, cc, c);
    Answer(fake.sentFills, fake.returnFills, fake.echoComposerInput, fc, f);
    *size = 100;
    return 0;
}
int32_t ComposeFn(int32_t key, int32_t* size, uint8_t*, int32_t sc, const SM_Section* s, int32_t cc,
                  const SM_Chord* c, int32_t stc, const SM_Stage* st, const int32_t* styles, int32_t fc,
                  const SM_Fill* f)
{
    FakeState& fake = Fake();
    fake.composeKey = key;
    fake.sentSections.assign(s, s + sc);
    fake.sentChords.assign(c, c + cc);
    fake.sentStages.assign(st, st + stc);
    fake.sentStyles.assign(styles, styles + stc);
    fake.sentFills.assign(f, f + fc);
    *size = 200;
    return fake.composeResult;
}
int32_t Download(int32_t id, MDP_Window)
{
    Fake().downloads.push_back(id);
    if (Fake().downloadResult == 0)
        Fake().loadableStyles.insert(id);
    return Fake().downloadResult;
}
int32_t Login(CS_UserRecord*, int32_t) { return Fake().serviceResult; }
int32_t Register(CS_UserRecord*) { return Fake().serviceResult; }


} // namespace

void InstallFakeEngine()
{
    Fake() = FakeState{};
    EngineTables& e = Engines();
    e = EngineTables{};
    e.mm.MM_InitialObjects = InitialObjects;
    e.mm.MM_DestroyObjects = DestroyObjects;
    e.mm.MM_GetFontInfo = GetFontInfo;
    e.mm.MM_SetFont = SetFont;
    e.mm.MM_GetMelodyInfo = GetMelodyInfo;
    e.mm.MM_GetMelody = GetMelody;
    e.mm.MM_SetTempo = SetTempo;
    e.mm.MM_SetTimeSignature = SetMetre;
    e.mm.MM_LoadBaseCompose = LoadBase;
    e.mm.MM_LoadCompose = LoadCompose;
    e.mm.MM_SetStreamVolume = SetVolume;
    e.mm.MM_GetStreamLength = GetLength;
    e.mm.MM_SetStreamLength = SetLength;
    e.mm.MM_SetFxPreset = SetFx;
    e.mm.MM_CombineSong = Combine;
    e.mm.MM_SaveProject = SaveProjectBlock;
    e.mm.MM_LoadProject = LoadProjectBlock;
    e.mm.MM_LoadAudioMP3 = LoadBlock;
    e.mm.MM_LoadSongMP3 = LoadBlock;
    e.mm.MM_LoadAnalysis = LoadAnalysisBlock;
    e.mm.MM_SetRecordAutoAdjust = AutoAdjust;
    e.mm.MM_SetRecordDevice = RecordDevice;
    e.sm.SM_CheckStyle = CheckStyle;
    e.sm.SM_GetSegmentBarNum = SegmentBars;
    e.sm.SM_GetStyleInfo = StyleInfo;
    e.sm.SM_InputWavNotes = InputNotes;
    e.sm.SM_BaseCompose = Base;
    e.sm.SM_Compose = ComposeFn;
    e.cs.CS_DownloadStyle = Download;
    e.cs.CS_Login = Login;
    e.cs.CS_Register = Register;
}

} // namespace melodrift::test
