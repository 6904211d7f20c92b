// The program itself: admin commands, serving, malformed datagrams and a
// clean stop on SIGTERM.
#include "Wire.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace melodrift::tidelink;

namespace {

std::string Program() { return std::string(std::getenv("MELODRIFT_BIN_DIR")) + "/melodrift-service"; }

int RunCommand(const std::string& args)
{
    return WEXITSTATUS(std::system((Program() + " " + args + " >/dev/null 2>&1").c_str()));
}

TEST(ServerProcess, AdminCommandsServeAndStopCleanly)
{
    ASSERT_NE(std::getenv("MELODRIFT_BIN_DIR"), nullptr) << "the test runner names the program folder";
    auto dir = std::filesystem::temp_directory_path() / ("melodrift-service-proc-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string db = "--db " + (dir / "s.db").string();
    EXPECT_EQ(RunCommand("add-user " + db + " alice pw --hash-iterations 1000"), 0);
    EXPECT_EQ(RunCommand("add-user " + db + " alice pw --hash-iterations 1000"), 1) << "names are unique";
    EXPECT_EQ(RunCommand("post-notice " + db + " Title Text"), 0);
    EXPECT_EQ(RunCommand("set-versions " + db + " 1.2.0.0 1.0.0.0 --text hi"), 0);
    EXPECT_EQ(RunCommand("set-versions " + db + " one two"), 2);
    EXPECT_EQ(RunCommand("answer " + db + " 999 nothing"), 1) << "no such question";
    EXPECT_EQ(RunCommand("frobnicate " + db), 2);

    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::execl(Program().c_str(), "melodrift-service", "serve", "--db", (dir / "s.db").c_str(), "--port", "0",
                nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    FILE* lines = ::fdopen(out[0], "r");
    char line[256] = "";
    ASSERT_NE(std::fgets(line, sizeof line, lines), nullptr);
    unsigned port = 0;
    ASSERT_EQ(std::sscanf(line, "listening on 127.0.0.1:%u", &port), 1) << line;

    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const uint8_t garbage[] = {0x7E, 0x6E, 0xFF, 0xFF, 0, 1, 0, 1, 0, 0};
    ::send(fd, garbage, sizeof garbage, 0); // announces more than it holds: dropped
    Message probe;
    probe.id = kProbe;
    uint8_t wire[kSendCapacity];
    ::send(fd, wire, EncodeMessage(probe, wire), 0);
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 3000), 1);
    uint8_t in[kReceiveCapacity];
    ssize_t n = ::recv(fd, in, sizeof in, 0);
    Message reply;
    ASSERT_EQ(DecodeMessage(in, size_t(n), reply), DecodeStatus::Ok);
    EXPECT_EQ(reply.id, kProbe + 1) << "only the probe is answered, the broken message is not";
    ::close(fd);

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_NE(std::fgets(line, sizeof line, lines), nullptr);
    EXPECT_EQ(std::string(line), "stopped: 1 answered, 1 dropped\n");
    std::fclose(lines);
    std::filesystem::remove_all(dir);
}

} // namespace
