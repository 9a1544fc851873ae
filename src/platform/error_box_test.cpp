// The real error box, on the platform the test is built for.
#include "platform/error_box.h"

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <future>
#include <memory>
#include <string>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vantrel::platform {
namespace {

#ifdef _WIN32
// Without a display (the tests run headless under Wine) MessageBoxW returns at
// once; with one, somebody has to press OK within the time limit.
TEST(ErrorBoxTest, BoxReturnsWhenClosed) {
    // A thread of its own, left behind if the box never returns: the test fails
    // instead of waiting with it.
    auto closed = std::make_shared<std::promise<void>>();
    std::future<void> shown = closed->get_future();
    std::thread([closed] {
        RealErrorBox().Show(u"vantrel", u"Firebird client error:\r\nline one\r\nline two.");
        closed->set_value();
    }).detach();
    ASSERT_EQ(shown.wait_for(std::chrono::seconds(60)), std::future_status::ready);
}
#else
// Reads from `fd` until `wanted` has arrived or `seconds` have passed.
std::string ReadUntil(int fd, const std::string& wanted, int seconds) {
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (got.find(wanted) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[512];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// Waits up to `seconds` for the child; kills it when it is still there. Its exit
// status, or -1 when it had to be killed.
int WaitChild(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 100; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// With a controlling terminal, the box is shown there and the run waits for Enter.
TEST(ErrorBoxTest, TerminalShowsTheBoxAndWaitsForEnter) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    int done[2];
    ASSERT_EQ(pipe(done), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // A session of its own, with the pseudo-terminal as its controlling terminal.
        close(master);
        close(done[0]);
        if (setsid() < 0 || ioctl(slave, TIOCSCTTY, 0) != 0) _exit(3);
        RealErrorBox().Show(u"Abc_tool", u"Firebird client error:\r\nline one\r\nline two.");
        (void)!write(done[1], "x", 1);
        _exit(0);
    }
    close(slave);
    close(done[1]);

    std::string screen = ReadUntil(master, "Press Enter", 10);
    EXPECT_NE(screen.find("Abc_tool"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Firebird client error:"), std::string::npos) << screen;
    EXPECT_NE(screen.find("line one"), std::string::npos) << screen;
    EXPECT_NE(screen.find("line two."), std::string::npos) << screen;

    // Still waiting: nothing arrives on the pipe until Enter is pressed.
    pollfd p{done[0], POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 300), 0);
    ASSERT_EQ(write(master, "\n", 1), 1);
    EXPECT_EQ(ReadUntil(done[0], "x", 10), "x");
    EXPECT_EQ(WaitChild(pid, 10), 0);
    close(master);
    close(done[0]);
}

// Without a terminal, caption and text go to standard error and the run goes on.
TEST(ErrorBoxTest, WithoutTerminalTheBoxGoesToStandardError) {
    int err[2];
    ASSERT_EQ(pipe(err), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(err[0]);
        if (setsid() < 0) _exit(3);  // no controlling terminal
        dup2(err[1], 2);
        RealErrorBox().Show(u"vantrel", u"Firebird client error:\r\nline one\r\nline two.");
        _exit(0);
    }
    close(err[1]);
    std::string text = ReadUntil(err[0], "line two.\n", 10);
    EXPECT_EQ(text, "vantrel\nFirebird client error:\nline one\nline two.\n");
    EXPECT_EQ(WaitChild(pid, 10), 0);
    close(err[0]);
}
#endif

}  // namespace
}  // namespace vantrel::platform
