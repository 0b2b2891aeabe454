#include "cli/Console.h"

#include "cli/Output.h"
#include "usecases/ExchangePolicy.h"

namespace varnel::cli {
namespace {

// Back to the start of the line and clear it.
constexpr std::string_view kEraseLine = "\r\033[K";

}  // namespace

void ErrorStream::Line(std::string_view line) {
    std::string text;
    if (!m_progress.empty()) {
        text += kEraseLine;
    }
    text += line;
    text += '\n';
    text += m_progress;
    m_sink.Write(text);  // one write: the line never shows half drawn
}

void ErrorStream::Progress(std::string_view text) {
    if (!m_terminal) {
        return;
    }
    m_progress = text;
    m_sink.Write(std::string(kEraseLine) + m_progress);
}

void ErrorStream::EndProgress() {
    if (m_progress.empty()) {
        return;
    }
    m_progress.clear();
    m_sink.Write(kEraseLine);
}

void CliReporter::Show(const Message& message) {
    Tell(message.kind, message.text, message.detail);
}

void CliReporter::Tell(int kind, std::string_view text, std::string_view detail) {
    m_texts.emplace_back(text);
    m_stream.Line(MessageLine(kind, text));
    if (!detail.empty()) {
        m_detail = detail;
        // Under its message, indented, so that "error: " lines stay one per message.
        std::string_view rest = detail;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            m_stream.Line("  " + std::string(rest.substr(0, end)));
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
    }
}

void CliReporter::Warn(std::string_view text) {
    m_stream.Line("warning: " + std::string(text));
}

void ProgressLine::StepStarted(const ExchangeStep& step) {
    m_stream.Progress(StepText(step));
}

void ProgressLine::ExchangeFinished() {
    m_stream.EndProgress();
}

void TraceWriter::FrameSent(const std::uint8_t* bytes, std::uint32_t count) {
    m_stream.Line(TraceLine(m_elapsedMs(), '>', bytes, count));
}

void TraceWriter::FrameReceived(const std::uint8_t* bytes, std::uint32_t count, bool echo) {
    m_stream.Line(TraceLine(m_elapsedMs(), echo ? '=' : '<', bytes, count));
}

}  // namespace varnel::cli
