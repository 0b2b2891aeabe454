#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/radio-sim/Fault.h"
#include "tools/radio-sim/FrameCodec.h"
#include "tools/radio-sim/PseudoTerminal.h"
#include "tools/radio-sim/RadioModel.h"
#include "tools/radio-sim/RadioProfile.h"

namespace varnel::sim {

// One request frame as the simulator took it off the line.
struct RequestRecord {
    int number = 0;         // from 1, in order of arrival
    std::int64_t atMs = 0;  // since Start()
    Bytes frame;            // every byte, header and checksum included
    std::uint8_t opcode = 0;
    Bytes data;
    bool checksumOk = true;
};

// A simulated radio on a pseudo-terminal, served by a thread of its own: the line returns every
// byte the tool writes at once, then the radio answers each complete request frame. Tests start
// it, open SlavePath() with the real serial port, and look at Requests() and Values() afterwards.
// Every public member may be called from any thread.
class RadioSimulator {
public:
    explicit RadioSimulator(const RadioProfile& profile);
    ~RadioSimulator();
    RadioSimulator(const RadioSimulator&) = delete;
    RadioSimulator& operator=(const RadioSimulator&) = delete;

    // Opens the pseudo-terminal and starts serving it. Returns false with a message in error
    // (when given) if the pair cannot be had. Calling it while running does nothing.
    bool Start(std::string* error = nullptr);
    // Ends the serving thread and closes the line: the tool's open slave then sees a hang-up, as
    // when a USB adapter is pulled out. Values and the request log stay readable.
    void Stop();
    bool IsRunning() const;
    // The device to open, such as /dev/pts/3; empty while stopped.
    std::string SlavePath() const;

    // About 1.04 ms per byte sent, as at 9600 bit/s with 8N1 framing.
    void SetPacing(bool on);
    // Milliseconds before every answer (the profile's latency until set).
    void SetLatencyMs(int ms);
    void AddFault(const Fault& fault);
    // Parses a fault as on the command line ("nak@3"); false with a message when it is not one.
    bool AddFault(std::string_view text, std::string* error = nullptr);
    // Removes every fault, the profile's included, and ends a silence.
    void ClearFaults();

    // Receives one line per frame in both directions, with its time stamp. Called on the serving
    // thread; it must not call back into the simulator.
    using TraceSink = std::function<void(const std::string& line)>;
    void SetTraceSink(TraceSink sink);
    // After each write that lands, write the values back into the profile's file.
    void SetSaveOnWrite(bool on);
    // The last failure to save, empty when all saves went through.
    std::string LastSaveError() const;

    std::vector<RequestRecord> Requests() const;
    void ClearRequests();
    // Requests taken since Start(), cleared or not: the number that fault triggers count.
    int RequestCount() const;
    // Waits until the log holds at least count requests; false after timeout.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    std::map<std::uint8_t, Bytes> Values() const;
    // The radio's current value of a parameter; none when the radio does not support it.
    std::optional<Bytes> Value(std::uint8_t id) const;
    void SetValue(std::uint8_t id, Bytes value);
    void RemoveValue(std::uint8_t id);

private:
    using Clock = std::chrono::steady_clock;
    struct Outgoing {
        Bytes bytes;
        std::size_t sent = 0;
        Clock::time_point due;
        std::string trace;  // described when its first byte goes out; empty: not traced
    };

    void Serve();
    void TakeBytes(const std::uint8_t* bytes, std::size_t count, Clock::time_point now);
    void CompleteFrame(Clock::time_point now);
    void DropPartialFrame(const char* why, Clock::time_point now);
    void FlushDue(Clock::time_point now);
    void Trace(Clock::time_point at, const char* direction, const Bytes& bytes,
               const std::string& note);
    void EmitTraces();
    double MsSinceStart(Clock::time_point at) const;

    const RadioProfile m_profile;

    // Start and Stop one at a time, so that two Stops never both join the thread.
    std::mutex m_lifecycle;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_requestArrived;
    RadioModel m_model;
    std::vector<RequestRecord> m_requests;
    TraceSink m_traceSink;
    bool m_pace = false;
    bool m_saveOnWrite = false;
    std::string m_saveError;
    std::string m_slavePath;
    bool m_running = false;

    // Owned by the serving thread while it runs.
    PseudoTerminal m_pty;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
    Clock::time_point m_start;
    FrameDecoder m_decoder;
    Bytes m_heldEcho;
    bool m_holdEcho = false;
    Clock::time_point m_lastByteAt;
    std::deque<Outgoing> m_out;  // in order; the front goes first
    Clock::time_point m_lineFreeAt;
    std::vector<std::string> m_pendingTraces;
};

}  // namespace varnel::sim
