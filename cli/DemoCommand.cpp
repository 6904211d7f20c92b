// The first thing a newcomer runs: the sample take shipped with the program
// made into a finished song, every step told on the way.

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "ArgumentParser.h"
#include "CliError.h"
#include "Commands.h"
#include "EngineSession.h"
#include "OutputPath.h"
#include "ProgressDisplay.h"
#include "SongMaker.h"
#include "SongReport.h"
#include "StyleCatalogue.h"
#include "Vocabulary.h"

namespace melodrift::cli {

namespace fs = std::filesystem;

namespace {

// How the sample take was sung (cli/tools/make_sample_take.py).
constexpr int kSampleTempo = 96;
constexpr int kSampleMetre = 0;

const char* const kDemoHelp =
    "Usage: melodrift-cli demo [-o DIR]\n"
    "Makes the sample take shipped with the program (a synthesised voice\n"
    "singing eight bars in 4/4 at 96 beats a minute) into a song in the default\n"
    "style, printing each step, and writes sample-song.mid, .wav, .mp3 and a\n"
    "project sample-song.cpj into DIR (default: ./melodrift-demo).\n";

void Ensure(const fs::path& dir)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec))
        Fail(kExitOutput, "cannot create folder " + dir.string());
}

} // namespace

int RunDemo(const Arguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, {{"--output", "-o", true}});
    if (parsed.help) {
        std::fputs(kDemoHelp, stdout);
        return kExitOk;
    }
    if (!parsed.positionals.empty())
        Fail(kExitUsage, "unexpected argument '" + parsed.positionals[0] + "'");
    const fs::path dir = parsed.Get("--output").value_or("melodrift-demo");
    Ensure(dir);
    const std::string stem = (dir / "sample-song").string();
    CheckWritable(stem + ".mid");

    EngineSession engine;
    const std::vector<StyleEntry> styles = InstalledStyles(kSampleMetre);
    if (styles.empty())
        Fail(kExitFailure, "no 4/4 style is installed (build the 'styles' target)");
    // The shipped pop style shows the library at its best; any 4/4 style will do without it.
    constexpr int kDefaultStyleId = 2001;
    auto preferred = std::find_if(styles.begin(), styles.end(),
                                  [](const StyleEntry& s) { return s.id == kDefaultStyleId; });
    const StyleEntry& style = preferred != styles.end() ? *preferred : styles.front();
    ProgressDisplay progress = ProgressDisplay::ForStream(stderr);
    SongMaker maker(engine, progress);

    const std::string take = SampleTakePath();
    std::printf("Step 1. Recognising the sample take %s (%s, %d beats a minute)\n", take.c_str(),
                MetreName(kSampleMetre), kSampleTempo);
    progress.Begin("Recognising");
    const Recognition& r = maker.Recognise(take, kSampleTempo, kSampleMetre, -1);
    progress.End();
    PrintRecognition(stdout, r, kSampleMetre);

    std::printf("\nStep 2. Accompanying in the default style: %s (id %d)\n", style.name.c_str(), style.id);
    progress.Begin("Accompanying");
    maker.Accompany(style.id);
    progress.End();
    PrintChords(stdout, maker.Song());
    PrintSections(stdout, maker.Song());

    std::printf("\nStep 3. Arranging the song form\n");
    maker.ArrangeForm(nullptr);
    PrintSongForm(stdout, maker.Song());

    std::printf("\nStep 4. Composing, laying the voice along the form, mixing\n");
    progress.Begin("Composing");
    maker.Compose();
    progress.End();

    std::printf("\nStep 5. Writing the song\n");
    const std::pair<const char*, OutputKind> outputs[] = {
        {".mid", OutputKind::Midi}, {".wav", OutputKind::Wav}, {".mp3", OutputKind::Mp3}, {".cpj", OutputKind::Project}};
    for (const auto& [extension, kind] : outputs) {
        const std::string path = stem + extension;
        maker.Export(path, kind);
        std::printf("  %-8s %s\n", OutputKindName(kind), path.c_str());
    }
    std::printf("\nDone. Play %s.mp3, or open %s.cpj in the desktop program.\n", stem.c_str(), stem.c_str());
    return kExitOk;
}

} // namespace melodrift::cli
