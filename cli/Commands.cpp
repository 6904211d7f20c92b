#include "Commands.h"

#include <cstdio>
#include <filesystem>

#include "AppSession.h"
#include "ArgumentParser.h"
#include "CliError.h"
#include "EngineSession.h"
#include "OutputPath.h"
#include "ProgressDisplay.h"
#include "SongMaker.h"
#include "SongReport.h"
#include "StyleCatalogue.h"
#include "Vocabulary.h"

namespace melodrift::cli {

namespace fs = std::filesystem;

const char* const kProgramHelp =
    "Usage: melodrift-cli <command> [options]\n"
    "\n"
    "From a sung take to a finished song, without a window.\n"
    "\n"
    "Commands:\n"
    "  styles [--metre M]               list the installed styles\n"
    "  recognize TAKE.wav --tempo N --metre M [--json]\n"
    "                                   the notes, key and bars of a take\n"
    "  compose TAKE.wav --tempo N --metre M --style NAME|ID [--key K]\n"
    "          [--form default|\"i1 A B i2 A B o1\"] -o SONG.{mp3,wav,mid,cpj}\n"
    "                                   the whole song from a take\n"
    "  render PROJECT.cpj -o SONG.{mp3,wav,mid}\n"
    "                                   export a saved project\n"
    "  demo [-o DIR]                    the sample take made into a song\n"
    "\n"
    "Each command takes --help. Tempo: 50..200 beats a minute. Metre: 4/4, 3/4,\n"
    "2/4 or 6/8. Exit status: 0 done, 1 a step failed, 2 bad command line,\n"
    "3 unusable input, 4 output not written, 130 interrupted.\n";

namespace {

const char* const kStylesHelp =
    "Usage: melodrift-cli styles [--metre M]\n"
    "Lists the installed styles: id, metre, tempo, categories and name.\n"
    "  --metre M   only styles in metre M (4/4, 3/4, 2/4, 6/8)\n";

const char* const kRecognizeHelp =
    "Usage: melodrift-cli recognize TAKE.wav --tempo N --metre M [--json]\n"
    "Recognises the sung notes of a take (any audio file the engine reads,\n"
    "sung after a bar of silence as against the count-in or starting at once)\n"
    "and prints each note with its length in beats, the key and the number of\n"
    "bars; the JSON adds each note's start in beats and in seconds from the\n"
    "start of the file, and the lead-in left out.\n"
    "  --tempo N   tempo the take was sung at, 50..200 beats a minute\n"
    "  --metre M   4/4, 3/4, 2/4 or 6/8\n"
    "  --json      print JSON instead of text\n";

const char* const kComposeHelp =
    "Usage: melodrift-cli compose TAKE.wav --tempo N --metre M --style NAME|ID\n"
    "         [--key K] [--form default|\"i1 A B i2 A B o1\"] -o SONG\n"
    "Recognises the take, accompanies it in the style, arranges the song form,\n"
    "composes, lays the voice along the form, mixes with the default effects and\n"
    "writes SONG by its extension: .mp3, .wav, .mid (the accompaniment) or .cpj\n"
    "(a project the desktop program opens).\n"
    "  --tempo N    tempo the take was sung at, 50..200\n"
    "  --metre M    4/4, 3/4, 2/4 or 6/8\n"
    "  --style S    style id or name (see: melodrift-cli styles)\n"
    "  --key K      the song's key (C, F#, Bb ...) when the recognised one is wrong\n"
    "  --form F     song form: section letters A..Z, intros/interludes i1..i4,\n"
    "               outros o1..o4; \"default\" is intro, sections, interlude,\n"
    "               sections again, outro\n"
    "  -o, --output SONG\n"
    "  --timing     print the wall time of each step on standard error\n";

const char* const kRenderHelp =
    "Usage: melodrift-cli render PROJECT.cpj -o SONG.{mp3,wav,mid}\n"
    "Opens a saved project, composes what it lacks and exports it.\n"
    "  -o, --output SONG\n";

std::string SinglePositional(const ParsedArguments& parsed, const char* what)
{
    if (parsed.positionals.size() != 1)
        Fail(kExitUsage, parsed.positionals.empty() ? std::string("missing ") + what
                                                    : "unexpected argument '" + parsed.positionals[1] + "'");
    return parsed.positionals[0];
}

std::string Required(const ParsedArguments& parsed, const std::string& option)
{
    const auto value = parsed.Get(option);
    if (!value)
        Fail(kExitUsage, "missing " + option);
    return *value;
}

void PrintStyles(const std::vector<StyleEntry>& styles)
{
    std::printf("%-6s %-5s %-6s %-20s %s\n", "id", "metre", "tempo", "categories", "name");
    for (const StyleEntry& s : styles) {
        std::string categories;
        for (int code : s.categories)
            categories += (categories.empty() ? "" : ",") + std::string(CategoryName(code));
        std::printf("%-6d %-5s %-6d %-20s %s\n", s.id, MetreName(s.metre), s.tempo,
                    categories.empty() ? "-" : categories.c_str(), s.name.c_str());
    }
}

void PrintWritten(const std::string& path, OutputKind kind)
{
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    std::printf("Wrote %s: %s (%ju bytes)\n", OutputKindName(kind), path.c_str(), static_cast<uintmax_t>(ec ? 0 : size));
}

} // namespace

std::string SampleTakePath()
{
    return ApplicationDirectory() + "samples/sample-take.wav";
}

int RunStyles(const Arguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, {{"--metre", "", true}});
    if (parsed.help) {
        std::fputs(kStylesHelp, stdout);
        return kExitOk;
    }
    if (!parsed.positionals.empty())
        Fail(kExitUsage, "unexpected argument '" + parsed.positionals[0] + "'");
    const int metre = parsed.Has("--metre") ? ParseMetre(*parsed.Get("--metre")) : -1;
    EngineSession engine;
    const std::vector<StyleEntry> styles = InstalledStyles(metre);
    if (styles.empty() && metre < 0)
        Fail(kExitFailure, "no styles are installed (build the 'styles' target)");
    PrintStyles(styles);
    return kExitOk;
}

int RunRecognize(const Arguments& args)
{
    const ParsedArguments parsed =
        ParseArguments(args, {{"--tempo", "", true}, {"--metre", "", true}, {"--json", "", false}});
    if (parsed.help) {
        std::fputs(kRecognizeHelp, stdout);
        return kExitOk;
    }
    const std::string take = SinglePositional(parsed, "TAKE");
    const int tempo = ParseTempo(Required(parsed, "--tempo"));
    const int metre = ParseMetre(Required(parsed, "--metre"));
    EngineSession engine;
    ProgressDisplay progress = ProgressDisplay::ForStream(stderr);
    SongMaker maker(engine, progress);
    progress.Begin("Recognising the take");
    const Recognition& r = maker.Recognise(take, tempo, metre, -1);
    progress.End();
    if (parsed.Has("--json"))
        PrintRecognitionJson(stdout, r, take, tempo, metre);
    else
        PrintRecognition(stdout, r, metre);
    return kExitOk;
}

int RunCompose(const Arguments& args)
{
    const ParsedArguments parsed =
        ParseArguments(args, {{"--tempo", "", true}, {"--metre", "", true}, {"--style", "", true},
                              {"--key", "", true}, {"--form", "", true}, {"--output", "-o", true},
                              {"--timing", "", false}});
    if (parsed.help) {
        std::fputs(kComposeHelp, stdout);
        return kExitOk;
    }
    const std::string take = SinglePositional(parsed, "TAKE");
    const int tempo = ParseTempo(Required(parsed, "--tempo"));
    const int metre = ParseMetre(Required(parsed, "--metre"));
    const std::string styleText = Required(parsed, "--style");
    const int key = parsed.Has("--key") ? ParseKey(*parsed.Get("--key")) : -1;
    const std::string formText = parsed.Get("--form").value_or("default");
    std::vector<FormToken> form;
    if (formText != "default")
        form = ParseSongForm(formText);
    const std::string output = Required(parsed, "--output");
    const OutputKind kind = OutputKindOf(output, true);
    CheckWritable(output);

    EngineSession engine;
    const std::vector<StyleEntry> styles = InstalledStyles(-1);
    const StyleEntry& style = FindStyle(styles, styleText);
    if (style.metre != metre)
        Fail(kExitUsage, "style '" + style.name + "' is in " + MetreName(style.metre) + ", the take in " +
                             MetreName(metre) + " (see: melodrift-cli styles --metre " + MetreName(metre) + ")");
    ProgressDisplay progress = ProgressDisplay::ForStream(stderr);
    SongMaker maker(engine, progress);
    progress.Begin("Recognising the take");
    const Recognition& r = maker.Recognise(take, tempo, metre, key);
    progress.End();
    std::printf("Notes found: %d in %d bars, key %s\n", r.pitchedNotes, r.bars, KeyName(r.key));
    progress.Begin("Accompanying in " + style.name);
    maker.Accompany(style.id);
    maker.ArrangeForm(form.empty() ? nullptr : &form);
    progress.End();
    PrintChords(stdout, maker.Song());
    PrintSections(stdout, maker.Song());
    PrintSongForm(stdout, maker.Song());
    progress.Begin("Composing");
    maker.Compose();
    progress.End();
    maker.Export(output, kind);
    PrintWritten(output, kind);
    if (parsed.Has("--timing"))
        for (const StepTime& t : maker.Times())
            std::fprintf(stderr, "time %-20s %8.3f s\n", t.step.c_str(), t.seconds);
    return kExitOk;
}

int RunRender(const Arguments& args)
{
    const ParsedArguments parsed = ParseArguments(args, {{"--output", "-o", true}});
    if (parsed.help) {
        std::fputs(kRenderHelp, stdout);
        return kExitOk;
    }
    const std::string project = SinglePositional(parsed, "PROJECT");
    const std::string output = Required(parsed, "--output");
    const OutputKind kind = OutputKindOf(output, false);
    CheckWritable(output);
    EngineSession engine;
    ProgressDisplay progress = ProgressDisplay::ForStream(stderr);
    SongMaker maker(engine, progress);
    progress.Begin("Opening the project");
    maker.OpenProject(project);
    progress.End();
    PrintSongForm(stdout, maker.Song());
    maker.Export(output, kind);
    PrintWritten(output, kind);
    return kExitOk;
}

} // namespace melodrift::cli
