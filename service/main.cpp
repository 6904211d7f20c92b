// melodrift-service: the reference server of the online service, and its
// small admin commands over the same database.
#include "Database.h"
#include "Dispatcher.h"
#include "Server.h"
#include "StyleLibrary.h"

#include "Digest.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <string>
#include <vector>

using namespace melodrift::service;

namespace {

Server* g_server = nullptr;

void OnSignal(int)
{
    if (g_server != nullptr)
        g_server->Stop();
}

const char* kUsage =
    "usage: melodrift-service <command> --db FILE [options]\n"
    "  serve [--port N] [--bind ADDR] [--styles DIR] [--no-udp] [--no-tcp] [--rate N]\n"
    "        [--hash-iterations N] [--hash-workers N] [--max-connections N] [--sources N]\n"
    "        [--verbose]                            run the server until SIGINT/SIGTERM\n"
    "  add-user NAME PASSWORD [NICKNAME]           create an account\n"
    "  post-notice TITLE TEXT [--owner ID] [--kind K]   post a notice (owner 0: everyone)\n"
    "  delete-notice ID\n"
    "  answer ID TEXT [--public]                   answer a question\n"
    "  delete-question ID\n"
    "  publish-styles DIR [--recommend ID,ID...]   publish the *.mds style files of a folder\n"
    "  set-versions CURRENT MINIMUM [--text T]     versions as a.b.c.d\n"
    "  set-song-limit N                            songs one account may upload\n";

struct Args {
    std::string command;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool Has(const std::string& k) const { return options.count(k) != 0; }
    std::string Get(const std::string& k, const std::string& d = "") const
    {
        auto at = options.find(k);
        return at == options.end() ? d : at->second;
    }
};

Args Parse(int argc, char** argv)
{
    static const char* flags[] = {"--public", "--no-udp", "--no-tcp", "--verbose"};
    Args a;
    for (int i = 1; i < argc; ++i) {
        std::string s = argv[i];
        if (s.rfind("--", 0) == 0) {
            bool flag = false;
            for (const char* f : flags)
                flag |= s == f;
            if (flag || i + 1 >= argc)
                a.options[s] = "1";
            else
                a.options[s] = argv[++i];
        } else if (a.command.empty()) {
            a.command = s;
        } else {
            a.positional.push_back(s);
        }
    }
    return a;
}

int Number(const std::string& s, int fallback)
{
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    return end != s.c_str() && *end == '\0' ? int(v) : fallback;
}

bool ParseVersion(const std::string& s, uint16_t* out)
{
    unsigned a, b, c, d;
    if (std::sscanf(s.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
        return false;
    out[0] = uint16_t(a), out[1] = uint16_t(b), out[2] = uint16_t(c), out[3] = uint16_t(d);
    return true;
}

int Publish(Database& db, const std::string& folder, const std::string& recommend)
{
    std::vector<std::string> skipped;
    auto styles = ReadStyleFolder(folder, skipped);
    int changed = 0;
    for (const PublishedStyle& s : styles)
        changed += db.PublishStyle(s.id, s.detail, s.data) ? 1 : 0;
    for (const std::string& why : skipped)
        std::fprintf(stderr, "skipped %s\n", why.c_str());
    if (!recommend.empty()) {
        std::vector<int32_t> ids;
        for (size_t at = 0; at < recommend.size();) {
            size_t comma = recommend.find(',', at);
            ids.push_back(Number(recommend.substr(at, comma - at), 0));
            at = comma == std::string::npos ? recommend.size() : comma + 1;
        }
        db.SetRecommended(ids);
    }
    std::printf("published %zu styles, %d changed\n", styles.size(), changed);
    return 0;
}

int Serve(Database& db, const Args& a)
{
    Limits limits;
    limits.hashIterations = Number(a.Get("--hash-iterations"), limits.hashIterations);
    limits.hashWorkers = std::max(1, Number(a.Get("--hash-workers"), 2));
    limits.sources = size_t(std::max(1, Number(a.Get("--sources"), int(limits.sources))));
    if (a.Has("--styles"))
        Publish(db, a.Get("--styles"), a.Get("--recommend"));
    ServerOptions options;
    options.port = uint16_t(Number(a.Get("--port", "12071"), 12071));
    options.bindAddress = a.Get("--bind", "127.0.0.1");
    options.udp = !a.Has("--no-udp");
    options.tcp = !a.Has("--no-tcp");
    options.ratePerSecond = Number(a.Get("--rate"), options.ratePerSecond);
    options.globalRatePerSecond = Number(a.Get("--global-rate"), options.globalRatePerSecond);
    options.maxConnections = size_t(std::max(1, Number(a.Get("--max-connections"), int(options.maxConnections))));
    options.verbose = a.Has("--verbose");
    Dispatcher dispatcher(db, limits);
    Server server(options, dispatcher);
    std::string why;
    if (!server.Open(why)) {
        std::fprintf(stderr, "cannot listen: %s\n", why.c_str());
        return 1;
    }
    g_server = &server;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("listening on %s:%u\n", options.bindAddress.c_str(), server.Port());
    std::fflush(stdout);
    server.Run();
    g_server = nullptr;
    std::printf("stopped: %llu answered, %llu dropped\n", (unsigned long long)server.Stats().answered,
                (unsigned long long)server.Stats().dropped);
    return 0;
}

int Run(const Args& a)
{
    if (!a.Has("--db") || a.command.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    Database db(a.Get("--db"));
    const auto& p = a.positional;
    if (a.command == "serve")
        return Serve(db, a);
    if (a.command == "add-user" && p.size() >= 2) {
        std::string digest = melodrift::tidelink::PasswordDigest(p[1]);
        auto id = db.AddUser(p[0], p.size() > 2 ? p[2] : p[0],
                             HashDigest(digest, Number(a.Get("--hash-iterations"), Limits{}.hashIterations)));
        if (!id) {
            std::fprintf(stderr, "user %s exists\n", p[0].c_str());
            return 1;
        }
        std::printf("user %d\n", *id);
        return 0;
    }
    if (a.command == "post-notice" && p.size() >= 2) {
        std::printf("notice %d\n", db.AddNotice(Number(a.Get("--owner", "0"), 0), int16_t(Number(a.Get("--kind", "0"), 0)),
                                               p[0], p[1]));
        return 0;
    }
    if (a.command == "delete-notice" && p.size() >= 1)
        return db.DeleteNotice(Number(p[0], 0)) ? 0 : 1;
    if (a.command == "answer" && p.size() >= 2)
        return db.AnswerQuestion(Number(p[0], 0), p[1], a.Has("--public")) ? 0 : 1;
    if (a.command == "delete-question" && p.size() >= 1)
        return db.DeleteQuestion(Number(p[0], 0)) ? 0 : 1;
    if (a.command == "publish-styles" && p.size() >= 1)
        return Publish(db, p[0], a.Get("--recommend"));
    if (a.command == "set-versions" && p.size() >= 2) {
        Versions v;
        if (!ParseVersion(p[0], v.current) || !ParseVersion(p[1], v.minimum)) {
            std::fputs("versions are a.b.c.d\n", stderr);
            return 2;
        }
        v.text = a.Get("--text");
        db.SetVersions(v);
        return 0;
    }
    if (a.command == "set-song-limit" && p.size() >= 1) {
        db.SetSongLimit(Number(p[0], 0));
        return 0;
    }
    std::fputs(kUsage, stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return Run(Parse(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "melodrift-service: %s\n", e.what());
        return 1;
    }
}
