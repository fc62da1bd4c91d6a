// trelmo-sim: the motion controller on a pseudo-terminal. The tool (or any
// Modbus RTU master) opens the printed device at 19200 8N1 and talks to slave 1.

#include "Controller.h"
#include "FaultInjector.h"
#include "RtuFramer.h"
#include "RtuSlave.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
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

// One character of 19200 8N1 is ten bits on the wire.
constexpr double ByteMs = 10.0 * 1000.0 / 19200.0;
// While nobody has the device open, look again this often.
constexpr double ReopenPollMs = 50.0;

const char Usage[] = "usage: trelmo-sim [options]\n"
                     "  --link PATH       make PATH a symbolic link to the pseudo-terminal\n"
                     "  --log             log every frame both ways on standard error\n"
                     "  --program FILE    preload the program from a 12025-byte project file\n"
                     "                    (default: a sample program, unless the state file has one)\n"
                     "  --state FILE      controller memory: read at start, written by coil 34\n"
                     "  --wire-time       send replies at the pace of 19200 baud, 8N1\n"
                     "  --input N=V       set input IN<N> (1-4) to V (0 or 1); may be repeated\n"
                     "  --seed N          seed of the fault generator (default 1)\n"
                     "  --drop P          probability that a request is lost (no action, no reply)\n"
                     "  --delay P         probability that a reply is held back\n"
                     "  --delay-ms MS     how long a held-back reply waits (default 1000)\n"
                     "  --corrupt P       probability that a reply's CRC is damaged\n"
                     "  --exception P     probability of an exception reply 04 instead of the answer\n"
                     "Standard input takes commands: 'in N V' sets an input, 'status' prints the\n"
                     "positions and signals, 'quit' stops. The device path is printed on the first\n"
                     "line of standard output. SIGINT or SIGTERM stops the simulator.\n";

struct Options {
    std::string link;
    bool log = false;
    std::string program;
    std::string state;
    bool wireTime = false;
    std::uint32_t seed = 1;
    FaultInjector::Rates rates;
    std::vector<std::pair<int, bool>> inputs;
};

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

bool parseNumber(const std::string &text, double &out)
{
    char *end = nullptr;
    errno = 0;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && errno == 0 && std::isfinite(out);
}

bool parseInputSetting(const std::string &text, int &number, bool &active)
{
    if (text.size() != 3 || text[1] != '=' || text[0] < '1' || text[0] > '4' || (text[2] != '0' && text[2] != '1'))
        return false;
    number = text[0] - '0';
    active = text[2] == '1';
    return true;
}

// Returns 0 to go on, or the exit status.
int parseOptions(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= argc) {
                std::fprintf(stderr, "trelmo-sim: %s needs a value\n", arg.c_str());
                return false;
            }
            value = argv[++i];
            return true;
        };
        auto probability = [&](double &out) -> bool {
            if (!takeValue())
                return false;
            double p = 0;
            if (!parseNumber(value, p) || p < 0 || p > 1) {
                std::fprintf(stderr, "trelmo-sim: %s wants a probability 0..1, not '%s'\n", arg.c_str(), value.c_str());
                return false;
            }
            out = p;
            return true;
        };

        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return -1;
        } else if (arg == "--log") {
            o.log = true;
        } else if (arg == "--wire-time") {
            o.wireTime = true;
        } else if (arg == "--link") {
            if (!takeValue())
                return 2;
            o.link = value;
        } else if (arg == "--program") {
            if (!takeValue())
                return 2;
            o.program = value;
        } else if (arg == "--state") {
            if (!takeValue())
                return 2;
            o.state = value;
        } else if (arg == "--seed") {
            double s = 0;
            if (!takeValue() || !parseNumber(value, s) || s < 0 || s > 4294967295.0 || s != std::floor(s)) {
                std::fprintf(stderr, "trelmo-sim: --seed wants a whole number\n");
                return 2;
            }
            o.seed = static_cast<std::uint32_t>(s);
        } else if (arg == "--drop") {
            if (!probability(o.rates.drop))
                return 2;
        } else if (arg == "--delay") {
            if (!probability(o.rates.delay))
                return 2;
        } else if (arg == "--corrupt") {
            if (!probability(o.rates.corrupt))
                return 2;
        } else if (arg == "--exception") {
            if (!probability(o.rates.exception))
                return 2;
        } else if (arg == "--delay-ms") {
            double ms = 0;
            if (!takeValue() || !parseNumber(value, ms) || ms < 0 || ms > 600000) {
                std::fprintf(stderr, "trelmo-sim: --delay-ms wants 0 to 600000\n");
                return 2;
            }
            o.rates.delayMs = ms;
        } else if (arg == "--input") {
            int n = 0;
            bool on = false;
            if (!takeValue() || !parseInputSetting(value, n, on)) {
                std::fprintf(stderr, "trelmo-sim: --input wants N=V with N 1-4 and V 0 or 1\n");
                return 2;
            }
            o.inputs.emplace_back(n, on);
        } else {
            std::fprintf(stderr, "trelmo-sim: unknown option '%s'\n%s", argv[i], Usage);
            return 2;
        }
    }
    return 0;
}

std::string hex(const Bytes &bytes)
{
    std::string s;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        s += buf;
    }
    if (!s.empty())
        s.pop_back();
    return s;
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
    explicit Simulator(const Options &o) : m_options(o), m_slave(m_controller), m_faults(o.seed, o.rates)
    {
        m_controller.setNoticeSink([this](const std::string &text) { log("note: " + text); });
    }

    int run();

private:
    struct Outgoing {
        double dueMs;
        Bytes bytes;
    };

    bool prepareController();
    bool openDevice();
    void cleanup();
    void handleFrame(const Bytes &frame, double now);
    void queueReply(Bytes reply, double dueMs);
    void pumpOutput(double now);
    double nextOutputMs(double now) const;
    void readMaster(double now);
    void noteHangUp(double now);
    void readConsole();
    void runCommand(const std::string &line);
    void log(const std::string &text) const;
    void logNoise();
    void say(const std::string &text) const;

    const Options &m_options;
    Controller m_controller;
    RtuSlave m_slave;
    FaultInjector m_faults;
    RtuFramer m_framer;
    int m_master = -1;
    std::string m_devicePath;
    bool m_linkMade = false;
    bool m_stdinOpen = true;
    std::string m_consoleLine;
    double m_lastAdvanceMs = 0;
    double m_masterRetryAt = 0;  // while nobody has the device open
    bool m_peerOpen = false;

    std::deque<Outgoing> m_held;  // replies not yet due
    Bytes m_wire;                 // reply bytes being sent
    double m_wireStartMs = 0;
    std::size_t m_wireSent = 0;
    bool m_quit = false;
};

void Simulator::log(const std::string &text) const
{
    if (m_options.log)
        std::fprintf(stderr, "[%10.3f] %s\n", nowMs() / 1000.0, text.c_str());
}

// Bytes that made no frame: a bad CRC, a cut-off request or line noise.
void Simulator::logNoise()
{
    const Bytes noise = m_framer.takeNoise();
    if (!noise.empty())
        log("<- " + hex(noise) + "   (no valid frame, ignored)");
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

void Simulator::handleFrame(const Bytes &frame, double now)
{
    m_controller.advance(now - m_lastAdvanceMs);
    m_lastAdvanceMs = now;
    log("<- " + hex(frame));
    if (!m_slave.accepts(frame)) {
        log("   not for this slave, or a bad CRC: ignored");
        return;
    }
    FaultInjector::Response r = m_faults.respond(m_slave, frame);
    switch (r.fault) {
    case FaultInjector::Fault::Drop: log("   fault: request dropped"); break;
    case FaultInjector::Fault::Exception: log("   fault: exception reply"); break;
    case FaultInjector::Fault::Corrupt: log("   fault: CRC corrupted"); break;
    case FaultInjector::Fault::None: break;
    }
    if (r.reply.empty())
        return;
    if (r.delayMs > 0)
        log("   fault: reply held back " + std::to_string(int(r.delayMs)) + " ms");
    queueReply(std::move(r.reply), now + r.delayMs);
}

void Simulator::queueReply(Bytes reply, double dueMs)
{
    auto pos = m_held.end();
    while (pos != m_held.begin() && std::prev(pos)->dueMs > dueMs)
        --pos;
    m_held.insert(pos, Outgoing{dueMs, std::move(reply)});
}

// Moves due replies onto the line and writes the bytes whose time has come:
// all at once, or one character time each with --wire-time.
void Simulator::pumpOutput(double now)
{
    for (;;) {
        if (m_wireSent == m_wire.size()) {
            m_wire.clear();
            m_wireSent = 0;
            if (m_held.empty() || m_held.front().dueMs > now)
                return;
            m_wire = std::move(m_held.front().bytes);
            m_wireStartMs = std::max(m_held.front().dueMs, m_wireStartMs);
            m_held.pop_front();
            log("-> " + hex(m_wire));
        }
        std::size_t due = m_wire.size();
        if (m_options.wireTime) {
            const double elapsed = now - m_wireStartMs;
            due = elapsed <= 0 ? 0 : std::min(m_wire.size(), std::size_t(elapsed / ByteMs));
        }
        if (due > m_wireSent) {
            const ssize_t n = ::write(m_master, m_wire.data() + m_wireSent, due - m_wireSent);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                log(std::string("   write failed (") + std::strerror(errno) + "), reply lost");
                m_wireSent = m_wire.size();
            } else if (n > 0) {
                m_wireSent += std::size_t(n);
            }
        }
        if (m_wireSent < m_wire.size())
            return;
        // The line is free again after the last character.
        m_wireStartMs = m_options.wireTime ? m_wireStartMs + m_wire.size() * ByteMs : now;
    }
}

double Simulator::nextOutputMs(double now) const
{
    if (m_wireSent < m_wire.size()) {
        if (!m_options.wireTime)
            return now + 1;  // the device was full; try again shortly
        return m_wireStartMs + (m_wireSent + 1) * ByteMs;
    }
    return m_held.empty() ? -1 : m_held.front().dueMs;
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
            m_framer.feed({buf, std::size_t(n)}, now);
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
        const double now = nowMs();
        m_controller.advance(now - m_lastAdvanceMs);
        m_lastAdvanceMs = now;
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
    m_lastAdvanceMs = nowMs();

    while (!g_signalled && !m_quit) {
        double now = nowMs();
        pumpOutput(now);
        while (auto frame = m_framer.next(now)) {
            logNoise();
            handleFrame(*frame, now);
        }
        if (m_framer.pending() == 0)
            logNoise();
        pumpOutput(now);

        double wakeAt = -1;
        auto consider = [&](double t) {
            if (t >= 0 && (wakeAt < 0 || t < wakeAt))
                wakeAt = t;
        };
        consider(nextOutputMs(now));
        if (const double s = m_framer.msUntilSilence(now); s >= 0)
            consider(now + s);
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
    Options options;
    if (const int status = parseOptions(argc, argv, options); status != 0)
        return status < 0 ? 0 : status;

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

    Simulator simulator(options);
    return simulator.run();
}
