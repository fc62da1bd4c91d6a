// SPDX-License-Identifier: GPL-3.0-or-later
// The motion controller as seen through its Modbus registers and coils: stored
// program, axis parameters, live status (positions, inputs, origin switches,
// outputs, modes), interpolation settings and the motion that the coils start.
// Time only passes when advance() is called, so the model is deterministic.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace trelmo::sim {

// Register addresses, exactly as they travel in a request.
namespace reg {
inline constexpr std::uint16_t ProgramFirst = 0;
inline constexpr std::uint16_t ProgramCount = 6000;  // 500 lines of 12 registers
inline constexpr std::uint16_t RegistersPerLine = 12;

inline constexpr std::uint16_t AxisParams = 8192;  // 13 per axis: X 8192, Y 8205, Z 8218
inline constexpr std::uint16_t AxisParamStride = 13;
inline constexpr std::uint16_t AxisParamsLast = 8230;
// Offsets inside an axis's parameter block.
inline constexpr std::uint16_t PulseEquivalent = 0;  // mm per pulse x 1000000, derived
inline constexpr std::uint16_t Lead = 2;             // mm x 1000
inline constexpr std::uint16_t Microstep = 4;        // pulses per revolution
inline constexpr std::uint16_t Travel = 6;           // mm x 1000
inline constexpr std::uint16_t OriginDirection = 8;  // one register, 0 or 1
inline constexpr std::uint16_t HomingSpeed = 9;      // secondary homing speed, mm/s x 1000
inline constexpr std::uint16_t BackOff = 11;         // origin back-off distance, mm x 1000

inline constexpr std::uint16_t Acceleration = 8549;  // 2 per axis, mm/s^2 x 1000
inline constexpr std::uint16_t StatusFirst = 8559;
inline constexpr std::uint16_t Position = 8559;     // 2 per axis, mm x 1000
inline constexpr std::uint16_t ManualSpeed = 8569;  // also the interpolation speed
inline constexpr std::uint16_t RunDistance = 8571;
inline constexpr std::uint16_t AutoRun = 8573;
inline constexpr std::uint16_t Inputs = 8579;          // IN1..IN4
inline constexpr std::uint16_t OriginSwitches = 8587;  // ORG1..ORG3
inline constexpr std::uint16_t Outputs = 8592;         // OUT1..OUT4
inline constexpr std::uint16_t LineCount = 8604;
inline constexpr std::uint16_t StepMode = 8609;
inline constexpr std::uint16_t StatusLast = 8609;
inline constexpr std::uint16_t EndPoint = 8610;      // X, Y, Z, 2 registers each
inline constexpr std::uint16_t MiddlePoint = 8616;   // X, Y, Z, 2 registers each
inline constexpr std::uint16_t ArcDirection = 8622;  // 0 clockwise, 1 counter-clockwise
inline constexpr std::uint16_t InterpolationLast = 8622;

inline constexpr std::uint16_t MaxLines = 500;
}  // namespace reg

namespace coil {
inline constexpr std::uint16_t JogXMinus = 1, JogXPlus = 2, HomeX = 3;
inline constexpr std::uint16_t JogYMinus = 4, JogYPlus = 5, HomeY = 6;
inline constexpr std::uint16_t JogZMinus = 7, JogZPlus = 8, HomeZ = 9;
inline constexpr std::uint16_t EmergencyStop = 16;
inline constexpr std::uint16_t Output1 = 17;  // 17..20
inline constexpr std::uint16_t StepSwitch = 29;
inline constexpr std::uint16_t LinearXY = 30, LinearXZ = 31, LinearYZ = 39;
inline constexpr std::uint16_t Save = 34;
inline constexpr std::uint16_t ArcXY = 36, ArcXZ = 37, ArcYZ = 38;
}  // namespace coil

enum class Access { Ok, BadAddress, BadValue };

class Controller {
public:
    static constexpr int AxisCount = 3;

    Controller();

    // Register access as the slave performs it. A request is all or nothing:
    // nothing is written unless every register of it may be written.
    Access readRegisters(std::uint16_t start, std::uint16_t count, std::vector<std::uint16_t> &out) const;
    Access writeRegisters(std::uint16_t start, std::span<const std::uint16_t> values);
    Access writeCoil(std::uint16_t coil, bool on);

    // Lets the given time pass: axes move, moves end.
    void advance(double ms);

    // Direct views for the operator console, the log and tests.
    std::uint16_t registerValue(std::uint16_t address) const;
    std::int32_t scaledValue(std::uint16_t lowAddress) const;  // two registers, low word first
    double positionMm(int axis) const { return m_pos[axis] / 1000.0; }
    bool isMoving() const;
    void setInput(int number, bool active);  // IN1..IN4
    // A memory fault: register `address` keeps every value written to it with its lowest bit
    // flipped (-1: none).
    void setFaultyRegister(int address) { m_faulty = address; }

    // Non-volatile memory. Coil 34 writes it to the state file, if one is set.
    void setStateFile(std::string path) { m_stateFile = std::move(path); }
    const std::string &stateFile() const { return m_stateFile; }
    bool saveState(const std::string &path, std::string *error = nullptr) const;
    // Reads a state file written by saveState; lines it does not understand are
    // skipped and counted in *skipped.
    bool loadState(const std::string &path, std::string *error = nullptr, int *skipped = nullptr);

    // Program memory from a project file image: count word (high byte first) and
    // then the 24-byte line records. Shorter images leave the rest of memory zero.
    bool loadProgramImage(std::span<const std::uint8_t> image, std::string *error = nullptr);
    void loadSampleProgram();

    // Notices about saves and refused commands, for the simulator's log.
    void setNoticeSink(std::function<void(const std::string &)> sink) { m_notice = std::move(sink); }

private:
    enum class Motion { Idle, Jog, Target };
    struct AxisState {
        Motion motion = Motion::Idle;
        int direction = 0;  // jog: +1 or -1
        double target = 0;  // thousandths of mm
        bool homing = false;
    };
    struct Path {
        bool active = false;
        bool arc = false;
        int a = 0, b = 1;                                   // the plane's axes
        double elapsed = 0, duration = 0;                   // ms
        double startA = 0, startB = 0, endA = 0, endB = 0;  // thousandths of mm
        double centreA = 0, centreB = 0, radius = 0, startAngle = 0, sweep = 0;
    };

    std::uint16_t &at(std::uint16_t address);
    std::uint16_t at(std::uint16_t address) const;
    static bool readable(std::uint16_t address);
    static bool writable(std::uint16_t address);
    static bool valueAllowed(std::uint16_t address, std::uint16_t value);
    static bool nonVolatile(std::uint16_t address);
    void setScaled(std::uint16_t lowAddress, std::int32_t value);
    // Rounds to the nearest whole number, saturating at the ends of the 32-bit range.
    static std::int32_t clampToInt32(double v);
    std::uint16_t axisParam(int axis, std::uint16_t offset) const
    {
        return static_cast<std::uint16_t>(reg::AxisParams + axis * reg::AxisParamStride + offset);
    }
    void setDefaults();
    void updatePulseEquivalents();
    double travel(int axis) const;
    double manualSpeed() const;  // thousandths of mm per ms
    double homingSpeed(int axis) const;
    void jog(int axis, int direction, bool on);
    void home(int axis);
    void startPath(int a, int b, bool arc);
    void stopAll();
    void advanceAxis(int axis, double ms);
    void advancePath(double ms);
    void syncStatus();
    void notice(const std::string &text) const;
    void save();

    std::array<std::uint16_t, reg::ProgramCount> m_program{};
    // 8192..8622 in one array; the gap 8231..8548 is outside the register map.
    std::array<std::uint16_t, reg::InterpolationLast - reg::AxisParams + 1> m_settings{};
    std::array<double, AxisCount> m_pos{};
    std::array<AxisState, AxisCount> m_axes{};
    Path m_path;
    std::string m_stateFile;
    int m_faulty = -1;
    std::function<void(const std::string &)> m_notice;
};

}  // namespace trelmo::sim
