#include "tools/radio-sim/RadioSimulator.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace varnel::sim {

namespace {

// 10 bits per byte (start, 8 data, stop) at 9600 bit/s.
constexpr std::chrono::nanoseconds kByteTime{1041667};
// A request that stops for longer than this is dropped, as a radio's receiver would.
constexpr std::chrono::milliseconds kInterByteGap{250};
// After a read error on the master, wait this long before looking at it again.
constexpr std::chrono::milliseconds kErrorBackoff{50};

}  // namespace

RadioSimulator::RadioSimulator(const RadioProfile& profile)
    : m_profile(profile), m_model(profile) {}

RadioSimulator::~RadioSimulator() {
    Stop();
}

bool RadioSimulator::Start(std::string* error) {
    std::lock_guard<std::mutex> lifecycle(m_lifecycle);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_running) {
        return true;
    }
    std::string why;
    if (!m_pty.Open(why)) {
        if (error != nullptr) {
            *error = "cannot open a pseudo-terminal: " + why;
        }
        return false;
    }
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error != nullptr) {
            *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        }
        m_pty.Close();
        return false;
    }
    m_slavePath = m_pty.SlavePath();
    m_start = Clock::now();
    m_lineFreeAt = m_start;
    m_decoder.Reset();
    m_heldEcho.clear();
    m_out.clear();
    m_stopping = false;
    m_running = true;
    m_thread = std::thread(&RadioSimulator::Serve, this);
    return true;
}

void RadioSimulator::Stop() {
    std::lock_guard<std::mutex> lifecycle(m_lifecycle);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_running) {
            return;
        }
    }
    m_stopping = true;
    const char wake = 'x';
    (void)!write(m_wake[1], &wake, 1);
    if (m_thread.joinable()) {
        m_thread.join();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pty.Close();
    close(m_wake[0]);
    close(m_wake[1]);
    m_wake[0] = m_wake[1] = -1;
    m_slavePath.clear();
    m_running = false;
}

bool RadioSimulator::IsRunning() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running;
}

std::string RadioSimulator::SlavePath() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_slavePath;
}

void RadioSimulator::SetPacing(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pace = on;
}

void RadioSimulator::SetLatencyMs(int ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.SetLatencyMs(std::clamp(ms, 0, 60000));
}

void RadioSimulator::AddFault(const Fault& fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.AddFault(fault);
}

bool RadioSimulator::AddFault(std::string_view text, std::string* error) {
    Fault fault;
    std::string why;
    if (!ParseFault(text, fault, why)) {
        if (error != nullptr) {
            *error = why;
        }
        return false;
    }
    AddFault(fault);
    return true;
}

void RadioSimulator::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.ClearFaults();
}

void RadioSimulator::SetTraceSink(TraceSink sink) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_traceSink = std::move(sink);
}

void RadioSimulator::SetSaveOnWrite(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_saveOnWrite = on;
}

std::string RadioSimulator::LastSaveError() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_saveError;
}

std::vector<RequestRecord> RadioSimulator::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void RadioSimulator::ClearRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

int RadioSimulator::RequestCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model.RequestCount();
}

bool RadioSimulator::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_requestArrived.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

std::map<std::uint8_t, Bytes> RadioSimulator::Values() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model.Values();
}

std::optional<Bytes> RadioSimulator::Value(std::uint8_t id) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_model.Values().find(id);
    if (it == m_model.Values().end()) {
        return std::nullopt;
    }
    return it->second;
}

void RadioSimulator::SetValue(std::uint8_t id, Bytes value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.SetValue(id, std::move(value));
}

void RadioSimulator::RemoveValue(std::uint8_t id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_model.RemoveValue(id);
}

double RadioSimulator::MsSinceStart(Clock::time_point at) const {
    return std::chrono::duration<double, std::milli>(at - m_start).count();
}

void RadioSimulator::Trace(Clock::time_point at, const char* direction, const Bytes& bytes,
                           const std::string& note) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.3f ms  ", MsSinceStart(at));
    std::string line = stamp;
    line += direction;
    line += "  ";
    line += bytes.empty() ? std::string("--") : HexBytes(bytes.data(), bytes.size());
    if (!note.empty()) {
        line += "  | ";
        line += note;
    }
    m_pendingTraces.push_back(std::move(line));
}

void RadioSimulator::EmitTraces() {
    if (m_pendingTraces.empty()) {
        return;
    }
    TraceSink sink;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        sink = m_traceSink;
    }
    if (sink) {
        for (const std::string& line : m_pendingTraces) {
            sink(line);
        }
    }
    m_pendingTraces.clear();
}

void RadioSimulator::Serve() {
    bool masterUsable = true;
    Clock::time_point retryMasterAt{};
    while (!m_stopping) {
        Clock::time_point now = Clock::now();
        FlushDue(now);
        if (m_decoder.InFrame() && now - m_lastByteAt >= kInterByteGap) {
            DropPartialFrame("incomplete request: no byte for 250 ms, dropped", now);
        }
        EmitTraces();

        // Sleep until a byte comes, the next answer is due, a partial request times out, or
        // Stop() writes to the wake pipe.
        std::optional<Clock::time_point> wakeAt;
        auto wakeBy = [&](Clock::time_point t) {
            if (!wakeAt || t < *wakeAt) {
                wakeAt = t;
            }
        };
        bool pace = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            pace = m_pace;
        }
        if (!m_out.empty()) {
            wakeBy(pace ? std::max(m_out.front().due, m_lineFreeAt) : m_out.front().due);
        }
        if (m_decoder.InFrame()) {
            wakeBy(m_lastByteAt + kInterByteGap);
        }
        if (!masterUsable) {
            wakeBy(retryMasterAt);
        }
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {masterUsable ? m_pty.Master() : -1, POLLIN, 0}};
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wakeAt) {
            const auto wait = std::max(*wakeAt - now, Clock::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns % 1000000000);
            timeoutPtr = &timeout;
        }
        const int ready = ppoll(fds, 2, timeoutPtr, nullptr);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            // Nothing sensible is left to wait on; avoid spinning on a broken descriptor set.
            std::this_thread::sleep_for(kErrorBackoff);
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            char drain[16];
            while (read(m_wake[0], drain, sizeof drain) > 0) {
            }
        }
        now = Clock::now();
        if (!masterUsable && now >= retryMasterAt) {
            masterUsable = true;
        }
        if (masterUsable && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            std::uint8_t buffer[512];
            const ssize_t got = read(m_pty.Master(), buffer, sizeof buffer);
            if (got > 0) {
                TakeBytes(buffer, static_cast<std::size_t>(got), Clock::now());
            } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
                masterUsable = false;
                retryMasterAt = now + kErrorBackoff;
            }
        }
    }
    EmitTraces();
}

void RadioSimulator::TakeBytes(const std::uint8_t* bytes, std::size_t count,
                               Clock::time_point now) {
    Bytes echo;
    auto flushEcho = [&] {
        if (!echo.empty()) {
            // The line returns bytes the moment they pass; they join the echo already queued
            // when nothing else is waiting in between.
            if (!m_out.empty() && m_out.back().trace.empty() && m_out.back().sent == 0 &&
                m_out.back().due <= now) {
                m_out.back().bytes.insert(m_out.back().bytes.end(), echo.begin(), echo.end());
            } else {
                m_out.push_back(Outgoing{echo, 0, now, {}});
            }
            echo.clear();
        }
    };
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        if (!m_decoder.InFrame()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_holdEcho = m_model.EchoMayBeDropped();
        }
        if (m_holdEcho) {
            m_heldEcho.push_back(b);
        } else {
            echo.push_back(b);
        }
        m_lastByteAt = now;
        const FrameDecoder::Result result = m_decoder.Feed(b);
        if (result == FrameDecoder::Result::Complete) {
            flushEcho();
            CompleteFrame(now);
        } else if (result == FrameDecoder::Result::Overflow) {
            flushEcho();
            DropPartialFrame("261 bytes without a complete frame: dropped", now);
        }
    }
    flushEcho();
}

void RadioSimulator::DropPartialFrame(const char* why, Clock::time_point now) {
    Trace(now, "tool->radio", m_decoder.Bytes(), why);
    if (!m_heldEcho.empty()) {
        m_out.push_back(Outgoing{m_heldEcho, 0, now, {}});
        m_heldEcho.clear();
    }
    m_decoder.Reset();
}

void RadioSimulator::CompleteFrame(Clock::time_point now) {
    Request request;
    request.frame = m_decoder.Bytes();
    request.opcode = m_decoder.Opcode();
    request.data = m_decoder.Data();
    request.checksumOk = m_decoder.ChecksumOk();
    m_decoder.Reset();

    Reaction reaction;
    bool save = false;
    std::map<std::uint8_t, Bytes> values;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        reaction = m_model.Handle(request);
        RequestRecord record;
        record.number = reaction.number;
        record.atMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_start).count();
        record.frame = request.frame;
        record.opcode = request.opcode;
        record.data = request.data;
        record.checksumOk = request.checksumOk;
        m_requests.push_back(std::move(record));
        save = reaction.valueChanged && m_saveOnWrite;
        if (save) {
            values = m_model.Values();
        }
    }
    m_requestArrived.notify_all();

    std::string note = "#";
    note += std::to_string(reaction.number);
    note += ' ';
    note += reaction.note;
    Trace(now, "tool->radio", request.frame, note);
    if (m_holdEcho) {
        if (reaction.echo) {
            m_out.push_back(Outgoing{m_heldEcho, 0, now, {}});
        }
        m_heldEcho.clear();
    }
    Trace(now, "line->tool ", reaction.echo ? request.frame : Bytes{},
          reaction.echo ? "echo" : "no echo (fault)");
    const Clock::time_point due = now + std::chrono::milliseconds(reaction.delayMs);
    for (Answer& answer : reaction.answers) {
        m_out.push_back(Outgoing{std::move(answer.frame), 0, due, std::move(answer.note)});
    }

    if (save) {
        std::string error;
        const bool saved = SaveProfileValues(m_profile, values, error);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_saveError = saved ? std::string() : error;
        }
        Trace(Clock::now(), "save       ", {},
              saved ? "values written to " + m_profile.path : "save failed: " + error);
    }
}

void RadioSimulator::FlushDue(Clock::time_point now) {
    bool pace = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pace = m_pace;
    }
    while (!m_out.empty()) {
        Outgoing& item = m_out.front();
        if (item.due > now || (pace && m_lineFreeAt > now)) {
            break;
        }
        if (item.sent == 0 && !item.trace.empty()) {
            Trace(now, "radio->tool", item.bytes, item.trace);
        }
        const std::size_t left = item.bytes.size() - item.sent;
        const std::size_t chunk = pace ? 1 : left;
        const ssize_t written = write(m_pty.Master(), item.bytes.data() + item.sent, chunk);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            // Nobody is reading and the line's buffer is full, or the line is gone: a real line
            // loses such bytes too.
            Trace(now, "radio->tool", {},
                  std::to_string(left) + " bytes lost: " + std::strerror(errno));
            m_out.pop_front();
            continue;
        }
        item.sent += static_cast<std::size_t>(written);
        if (pace) {
            // Counted from when the line could take the byte, not from when this thread woke:
            // a late wake-up must not stretch every later byte of the run.
            m_lineFreeAt = std::max(m_lineFreeAt, item.due) + kByteTime * written;
        }
        if (item.sent == item.bytes.size()) {
            m_out.pop_front();
        }
    }
}

}  // namespace varnel::sim
