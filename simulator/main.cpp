// SPDX-License-Identifier: GPL-3.0-or-later
// trelmo-sim: the motion controller on a pseudo-terminal. The tool (or any
// Modbus RTU master) opens the printed device at 19200 8N1 and talks to slave 1.

#include "Controller.h"
#include "LineModel.h"
#include "SimOptions.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace trelmo::sim;

namespace {

// While nobody has the device open, look again this often.
constexpr double ReopenPollMs = 50.0;

volatile std::sig_atomic_t g_signalled = 0;
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    g_signalled = 1;
    const char c = 's';
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

double nowMs()
{
    using namespace std::chrono;
    static const auto start = steady_clock::now();
    return duration<double, std::milli>(steady_clock::now() - start).count();
}

bool readProjectFile(const std::string &path, Bytes &out, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

class Simulator {
public:
    explicit Simulator(const SimOptions &o)
        : m_options(o), m_line(m_controller, LineSettings{o.wireTime, o.seed, o.rates})
    {
        m_controller.setNoticeSink([this](const std::string &text) { log("note: " + text); });
        if (o.log)
            m_line.setLog([this](const std::string &text) { log(text); });
    }

    int run();

private:
    bool prepareController();
    bool openDevice();
    void cleanup();
    long writeMaster(std::span<const std::uint8_t> bytes);
    void readMaster(double now);
    void noteHangUp(double now);
    void readConsole();
    void runCommand(const std::string &line);
    void log(const std::string &text) const;
    void say(const std::string &text) const;

    const SimOptions &m_options;
    Controller m_controller;
    SlaveLine m_line;
    int m_master = -1;
    std::string m_devicePath;
    bool m_linkMade = false;
    bool m_stdinOpen = true;
    std::string m_consoleLine;
    double m_masterRetryAt = 0;  // while nobody has the device open
    bool m_peerOpen = false;
    bool m_quit = false;
};

void Simulator::log(const std::string &text) const
{
    if (m_options.log)
        std::fprintf(stderr, "[%10.3f] %s\n", nowMs() / 1000.0, text.c_str());
}

void Simulator::say(const std::string &text) const
{
    std::fprintf(stderr, "trelmo-sim: %s\n", text.c_str());
}

bool Simulator::prepareController()
{
    std::string error;
    bool stateHadProgram = false;
    if (!m_options.state.empty()) {
        m_controller.setStateFile(m_options.state);
        struct stat st {};
        if (::stat(m_options.state.c_str(), &st) == 0) {
            int skipped = 0;
            if (!m_controller.loadState(m_options.state, &error, &skipped)) {
                say(error);
                return false;
            }
            if (skipped)
                say("state file: skipped " + std::to_string(skipped) + " unreadable line(s)");
            stateHadProgram = true;
        }
    }
    if (!m_options.program.empty()) {
        Bytes image;
        if (!readProjectFile(m_options.program, image, error) || !m_controller.loadProgramImage(image, &error)) {
            say(m_options.program + ": " + error);
            return false;
        }
    } else if (!stateHadProgram) {
        m_controller.loadSampleProgram();
    }
    for (const auto &[n, on] : m_options.inputs)
        m_controller.setInput(n, on);
    m_controller.setFaultyRegister(m_options.faultyRegister);
    return true;
}

bool Simulator::openDevice()
{
    int slaveFd = -1;
    if (::openpty(&m_master, &slaveFd, nullptr, nullptr, nullptr) != 0) {
        say(std::string("openpty: ") + std::strerror(errno));
        return false;
    }
    // Raw mode from the start, so that a master that does not set the line up
    // itself still sees bytes and no echo.
    termios tio{};
    if (::tcgetattr(slaveFd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        ::tcsetattr(slaveFd, TCSANOW, &tio);
    }
    const char *name = ::ttyname(slaveFd);
    m_devicePath = name ? name : "";
    // The master side stays open for the whole run; the slave side is the user's.
    // When the user closes it the master reports a hang-up until the next open.
    ::close(slaveFd);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    if (m_devicePath.empty()) {
        say("cannot name the pseudo-terminal");
        return false;
    }
    if (!m_options.link.empty()) {
        struct stat st {};
        if (::lstat(m_options.link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                say(m_options.link + " exists and is not a symbolic link; not replacing it");
                return false;
            }
            ::unlink(m_options.link.c_str());
        }
        if (::symlink(m_devicePath.c_str(), m_options.link.c_str()) != 0) {
            say("symlink " + m_options.link + ": " + std::strerror(errno));
            return false;
        }
        m_linkMade = true;
    }
    return true;
}

void Simulator::cleanup()
{
    if (m_linkMade) {
        // Remove the link only if it still points to this run's device.
        char target[4096];
        const ssize_t n = ::readlink(m_options.link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, std::size_t(n)) == m_devicePath)
            ::unlink(m_options.link.c_str());
    }
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

long Simulator::writeMaster(std::span<const std::uint8_t> bytes)
{
    const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
    if (n >= 0 || errno == EAGAIN || errno == EINTR)
        return n < 0 ? 0 : long(n);
    log(std::string("   write failed (") + std::strerror(errno) + "), reply lost");
    return -1;
}

void Simulator::readMaster(double now)
{
    std::uint8_t buf[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            if (!m_peerOpen) {
                m_peerOpen = true;
                log("device opened");
            }
            m_line.receive({buf, std::size_t(n)}, now);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // EIO: the last user of the device has closed it.
        noteHangUp(now);
        return;
    }
}

void Simulator::noteHangUp(double now)
{
    if (m_peerOpen)
        log("device closed");
    m_peerOpen = false;
    m_masterRetryAt = now + ReopenPollMs;
}

void Simulator::runCommand(const std::string &line)
{
    std::istringstream in(line);
    std::string word;
    if (!(in >> word))
        return;
    if (word == "in" || word == "input") {
        int n = 0, v = -1;
        if (in >> n >> v && n >= 1 && n <= 4 && (v == 0 || v == 1)) {
            m_controller.setInput(n, v == 1);
            say("IN" + std::to_string(n) + " = " + std::to_string(v));
        } else {
            say("usage: in N V   (N 1-4, V 0 or 1)");
        }
    } else if (word == "status") {
        m_line.advanceTo(nowMs());
        char text[256];
        auto r = [&](std::uint16_t a) { return int(m_controller.registerValue(a) & 0xFF); };
        std::snprintf(text, sizeof text,
                      "X %.3f Y %.3f Z %.3f | IN %d%d%d%d | ORG %d%d%d | OUT %d%d%d%d | step %d | "
                      "lines %d%s",
                      m_controller.positionMm(0), m_controller.positionMm(1), m_controller.positionMm(2),
                      r(reg::Inputs), r(reg::Inputs + 1), r(reg::Inputs + 2), r(reg::Inputs + 3),
                      r(reg::OriginSwitches), r(reg::OriginSwitches + 1), r(reg::OriginSwitches + 2), r(reg::Outputs),
                      r(reg::Outputs + 1), r(reg::Outputs + 2), r(reg::Outputs + 3), r(reg::StepMode),
                      int(m_controller.registerValue(reg::LineCount)), m_controller.isMoving() ? " | moving" : "");
        say(text);
    } else if (word == "quit" || word == "exit") {
        m_quit = true;
    } else {
        say("commands: in N V, status, quit");
    }
}

void Simulator::readConsole()
{
    char buf[256];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            m_stdinOpen = false;  // keep running without a console
        return;
    }
    m_consoleLine.append(buf, std::size_t(n));
    std::size_t eol;
    while ((eol = m_consoleLine.find('\n')) != std::string::npos) {
        runCommand(m_consoleLine.substr(0, eol));
        m_consoleLine.erase(0, eol + 1);
    }
    if (m_consoleLine.size() > 1024)
        m_consoleLine.clear();  // nobody types a line that long
}

int Simulator::run()
{
    if (!prepareController() || !openDevice()) {
        cleanup();
        return 1;
    }
    std::printf("%s\n", m_devicePath.c_str());
    std::fflush(stdout);
    if (!m_options.link.empty())
        say(m_options.link + " -> " + m_devicePath);
    m_line.advanceTo(nowMs());
    const WriteBytes write = [this](std::span<const std::uint8_t> bytes) { return writeMaster(bytes); };

    while (!g_signalled && !m_quit) {
        double now = nowMs();
        m_line.service(now, write);

        double wakeAt = -1;
        auto consider = [&](double t) {
            if (t >= 0 && (wakeAt < 0 || t < wakeAt))
                wakeAt = t;
        };
        consider(m_line.nextMs(now));
        const bool watchMaster = now >= m_masterRetryAt;
        if (!watchMaster)
            consider(m_masterRetryAt);

        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = {g_signalPipe[0], POLLIN, 0};
        const int masterSlot = watchMaster ? int(count) : -1;
        if (watchMaster)
            fds[count++] = {m_master, POLLIN, 0};
        const int consoleSlot = m_stdinOpen ? int(count) : -1;
        if (m_stdinOpen)
            fds[count++] = {STDIN_FILENO, POLLIN, 0};

        const int timeout = wakeAt < 0 ? -1 : int(std::ceil(std::max(0.0, wakeAt - now)));
        const int ready = ::poll(fds, count, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            say(std::string("poll: ") + std::strerror(errno));
            break;
        }
        now = nowMs();
        if (masterSlot >= 0 && fds[masterSlot].revents) {
            if (fds[masterSlot].revents & POLLIN)
                readMaster(now);
            else
                noteHangUp(now);  // nobody has the device open
        }
        if (consoleSlot >= 0 && fds[consoleSlot].revents)
            readConsole();
    }
    cleanup();
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParsedOptions parsed = parseOptions(args);
    if (parsed.outcome == ParsedOptions::Outcome::Help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (parsed.outcome == ParsedOptions::Outcome::Bad) {
        const std::string &error = parsed.error;
        std::fprintf(stderr, "trelmo-sim: %s%s", error.c_str(), error.ends_with('\n') ? "" : "\n");
        return 2;
    }

    if (::pipe(g_signalPipe) != 0) {
        std::perror("trelmo-sim: pipe");
        return 1;
    }
    for (int fd : g_signalPipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // Started in the background of an interactive shell, a read of the terminal
    // would stop the process; ignored, the read fails and the console is dropped.
    std::signal(SIGTTIN, SIG_IGN);
    // Standard input is read only when poll() says it has data, so it stays
    // blocking: it may be the user's terminal, shared with the shell.

    Simulator simulator(parsed.options);
    return simulator.run();
}
