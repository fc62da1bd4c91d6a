// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace trelmo::sim {

const char *usageText()
{
    return "usage: trelmo-sim [options]\n"
           "  --link PATH       make PATH a symbolic link to the pseudo-terminal\n"
           "  --log             log every frame both ways on standard error\n"
           "  --program FILE    preload the program from a 12025-byte project file\n"
           "                    (default: a sample program, unless the state file has one)\n"
           "  --state FILE      controller memory: read at start, written by coil 34\n"
           "  --wire-time       model the line at 19200 baud, 8N1, both ways: a request is\n"
           "                    taken only after its characters and 3.5 character times of\n"
           "                    silence (bytes closer together than that make one frame, and\n"
           "                    a frame with a bad CRC is dropped whole); replies go out at\n"
           "                    one character per 0.52 ms\n"
           "  --input N=V       set input IN<N> (1-4) to V (0 or 1); may be repeated\n"
           "  --seed N          seed of the fault generator (default 1)\n"
           "  --drop P          probability that a request is lost (no action, no reply)\n"
           "  --delay P         probability that a reply is held back\n"
           "  --delay-ms MS     how long a held-back reply waits (default 1000)\n"
           "  --corrupt P       probability that a reply's CRC is damaged\n"
           "  --exception P     probability of an exception reply 04 instead of the answer\n"
           "  --faulty-register N  a memory fault: register N (0-65535) keeps every value\n"
           "                    written to it with its lowest bit flipped\n"
           "Standard input takes commands: 'in N V' sets an input, 'status' prints the\n"
           "positions and signals, 'quit' stops. The device path is printed on the first\n"
           "line of standard output. SIGINT or SIGTERM stops the simulator.\n";
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

namespace {

// Reads one option (and its value) at args[i]; returns an error text, empty when all is well.
std::string parseOne(std::span<const std::string> args, std::size_t &i, ParsedOptions &out)
{
    SimOptions &o = out.options;
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
        value = name.substr(eq + 1);
        name = name.substr(0, eq);
        hasValue = true;
    }
    const std::string missing = name + " needs a value";
    auto takeValue = [&]() {
        if (!hasValue && i + 1 < args.size()) {
            value = args[++i];
            hasValue = true;
        }
        return hasValue;
    };
    auto probability = [&](double &target) -> std::string {
        if (!takeValue())
            return missing;
        double p = 0;
        if (!parseNumber(value, p) || p < 0 || p > 1)
            return name + " wants a probability 0..1, not '" + value + "'";
        target = p;
        return {};
    };
    auto text = [&](std::string &target) -> std::string {
        if (!takeValue())
            return missing;
        target = value;
        return {};
    };

    if (name == "--help" || name == "-h") {
        out.outcome = ParsedOptions::Outcome::Help;
        return {};
    }
    if (name == "--log") {
        o.log = true;
        return {};
    }
    if (name == "--wire-time") {
        o.wireTime = true;
        return {};
    }
    if (name == "--link")
        return text(o.link);
    if (name == "--program")
        return text(o.program);
    if (name == "--state")
        return text(o.state);
    if (name == "--drop")
        return probability(o.rates.drop);
    if (name == "--delay")
        return probability(o.rates.delay);
    if (name == "--corrupt")
        return probability(o.rates.corrupt);
    if (name == "--exception")
        return probability(o.rates.exception);
    if (name == "--seed") {
        double s = 0;
        if (!takeValue() || !parseNumber(value, s) || s < 0 || s > 4294967295.0 || s != std::floor(s))
            return "--seed wants a whole number";
        o.seed = static_cast<std::uint32_t>(s);
        return {};
    }
    if (name == "--delay-ms") {
        double ms = 0;
        if (!takeValue() || !parseNumber(value, ms) || ms < 0 || ms > 600000)
            return "--delay-ms wants 0 to 600000";
        o.rates.delayMs = ms;
        return {};
    }
    if (name == "--faulty-register") {
        double n = 0;
        if (!takeValue() || !parseNumber(value, n) || n < 0 || n > 65535 || n != std::floor(n))
            return "--faulty-register wants a register 0 to 65535";
        o.faultyRegister = int(n);
        return {};
    }
    if (name == "--input") {
        int n = 0;
        bool on = false;
        if (!takeValue() || !parseInputSetting(value, n, on))
            return "--input wants N=V with N 1-4 and V 0 or 1";
        o.inputs.emplace_back(n, on);
        return {};
    }
    return "unknown option '" + args[i] + "'\n" + usageText();
}

}  // namespace

ParsedOptions parseOptions(std::span<const std::string> args)
{
    ParsedOptions out;
    for (std::size_t i = 0; i < args.size() && out.outcome == ParsedOptions::Outcome::Run; ++i) {
        if (std::string error = parseOne(args, i, out); !error.empty()) {
            out.outcome = ParsedOptions::Outcome::Bad;
            out.error = std::move(error);
        }
    }
    return out;
}

}  // namespace trelmo::sim
