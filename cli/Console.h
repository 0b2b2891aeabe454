#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/FrameTrace.h"
#include "procedures/Session.h"
#include "strings/Messages.h"

namespace varnel::cli {

// Somewhere text goes: standard output or standard error in the tool, a string in tests.
class ITextSink {
public:
    virtual ~ITextSink() = default;
    virtual void Write(std::string_view text) = 0;
};

// Standard error as messages, trace lines and the progress line share it. On a terminal the
// progress line stands below everything else: a line written while it shows takes its place, and
// the progress line comes back under it.
class ErrorStream {
public:
    ErrorStream(ITextSink& sink, bool terminal) : m_sink(sink), m_terminal(terminal) {}

    void Line(std::string_view line);
    // Shows text as the progress line; nothing when standard error is not a terminal.
    void Progress(std::string_view text);
    // Erases the progress line.
    void EndProgress();
    bool Terminal() const { return m_terminal; }

private:
    ITextSink& m_sink;
    bool m_terminal;
    std::string m_progress;  // what the progress line shows now; empty when none
};

// The messages the dialogs would show in boxes, as "error: TEXT" and "info: TEXT" lines on
// standard error, each kept for --json and --record.
class CliReporter final : public IMessageReporter {
public:
    explicit CliReporter(ErrorStream& stream) : m_stream(stream) {}

    void Show(const Message& message) override;
    // A message of the tool's own, told the same way.
    void Tell(int kind, std::string_view text, std::string_view detail = {});

    // A warning about the tool's own files, "warning: TEXT"; not one of the messages.
    void Warn(std::string_view text);

    const std::vector<std::string>& Texts() const { return m_texts; }
    // The reason under a message (why a port could not be opened), the last one given.
    const std::string& Detail() const { return m_detail; }

private:
    ErrorStream& m_stream;
    std::vector<std::string> m_texts;
    std::string m_detail;
};

// "Reading Software Version (3 of 11)" while an exchange runs, when standard error is a terminal.
class ProgressLine final : public IExchangeObserver {
public:
    explicit ProgressLine(ErrorStream& stream) : m_stream(stream) {}

    void StepStarted(const ExchangeStep& step) override;
    void ExchangeFinished() override;

private:
    ErrorStream& m_stream;
};

// --trace: every frame as a line on standard error, stamped with the time since the start.
class TraceWriter final : public IFrameTrace {
public:
    // elapsedMs gives the milliseconds since the tool started.
    TraceWriter(ErrorStream& stream, std::function<double()> elapsedMs)
        : m_stream(stream), m_elapsedMs(std::move(elapsedMs)) {}

    void FrameSent(const std::uint8_t* bytes, std::uint32_t count) override;
    void FrameReceived(const std::uint8_t* bytes, std::uint32_t count, bool echo) override;

private:
    ErrorStream& m_stream;
    std::function<double()> m_elapsedMs;
};

}  // namespace varnel::cli
