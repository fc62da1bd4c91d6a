#pragma once
// The state shared by the link, the editor, the transfers and the screens for the whole run.
// One instance, owned by the application object and handed out by reference.
#include <array>
#include <cstdint>

// How a program is held: a count word (high byte first), then one 24-byte record per line,
// moved to and from the controller in blocks of ten lines.
namespace program {
constexpr int MaxLines = 500;
constexpr int CountWordSize = 2;
constexpr int RecordSize = 24;  // twelve registers
constexpr int LinesPerBlock = 10;
constexpr int BlockBytes = RecordSize * LinesPerBlock;  // 240
// The count word, 500 records and 23 bytes after the last one that hold no line.
constexpr int ImageSize = 12025;
static_assert(ImageSize == CountWordSize + RecordSize * MaxLines + 23);
}  // namespace program

using ProgramBytes = std::array<std::uint8_t, program::ImageSize>;

struct LinkState {
    // Request bookkeeping.
    std::int16_t RequestTag = 0;     // what was asked last, 0 = idle (link/Tags.h)
    std::uint8_t PortOpenFlag = 0;   // 1 once a port scan has opened a port
    std::int16_t PortErrorFlag = 0;  // 1 after a failed send, until the caller has seen it
    std::int16_t SlaveAddress = 1;
    std::int16_t NoReplyTicks = 0;   // sub-screen ticks without received data
    std::int16_t WatchdogTicks = 0;  // main-window watchdog ticks with a request outstanding
    std::int16_t BlockIndex = 0;     // 1-based block being transferred
    std::int16_t BlockCount = 0;
    std::int16_t BlocksDone = 0;  // blocks of the transfer stored or acknowledged
    std::int16_t GridRefreshRequest = 0;
    // The port failed under us and the user has been told; further failed sends on the dead
    // port stay quiet until a port is opened again.
    bool PortLostReported = false;
    // The line count the controller reported last, until whoever asked for it takes it.
    int ReportedLineCount = -1;

    // A program on its way to or from the controller: nothing may change the program meanwhile.
    enum class Transfer { None, Download, Upload };
    Transfer Transferring = Transfer::None;
    // The main window waits for a reply (a probe of the handshake, the read button's line
    // count): a click that would change the program or the connection waits its turn.
    bool MainWaiting = false;

    // Which sub-screen is loaded (at most one).
    std::int16_t ManualScreenActive = 0;
    std::int16_t ParamScreenActive = 0;
    std::int16_t InterpScreenActive = 0;

    // Data bytes of the last read reply of each screen.
    std::array<std::uint8_t, 102> ManualReplyBytes{};
    std::array<std::uint8_t, 78> ParamReplyBytes{};
    std::array<std::uint8_t, 78> InterpReplyBytes{};

    // The program: line count (big-endian) then 24-byte records; and the records alone as
    // the source of the grid's texts.
    ProgramBytes ProgramImage{};
    ProgramBytes DisplayImage{};
    // The controller's program as a verify reads it, laid out as the program image.
    ProgramBytes VerifyImage{};
};

// Marks a wait of the main window for a reply, for as long as it lasts.
class WaitGuard {
public:
    explicit WaitGuard(LinkState &state) : m_state(state), m_outer(state.MainWaiting) { state.MainWaiting = true; }
    ~WaitGuard() { m_state.MainWaiting = m_outer; }
    WaitGuard(const WaitGuard &) = delete;
    WaitGuard &operator=(const WaitGuard &) = delete;

private:
    LinkState &m_state;
    bool m_outer;
};
