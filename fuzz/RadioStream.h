#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "procedures/Programming.h"
#include "procedures/RadioInfo.h"
#include "procedures/Session.h"

namespace varnel::fuzz {

// The bytes a radio, a cable or an adapter may put on the line, decoded from an arbitrary input:
//
//   byte 0   options: bit 0 the line echoes what the tool sends; bit 1 a silent read lasts 1 ms
//            instead of 1000 ms (deadlines then pass in many small steps); bit 2 the user cancels
//            (the next byte tells after how many bytes written); bits 4 to 7 the timeout of the
//            bare receives, in units of 250 ms.
//   [byte 1] with bit 2: the number of bytes the tool has written when the cancel comes (0: before
//            anything is sent).
//   then     chunks, each a header byte and up to 63 bytes: bits 0 to 5 of the header count the
//            bytes, bit 6 puts one silent read before them, bit 7 starts the radio's answer to the
//            next request (without it the bytes extend the current answer).
//
// A truncated last chunk keeps the bytes that are there. Answer i arrives right after the tool
// has written its i-th request (behind that request's echo when the line echoes).
struct RadioStream {
    static constexpr int kSilence = -1;  // one read that times out

    bool echo = true;
    bool shortReads = false;
    std::uint32_t receiveTimeoutMs = 0;
    std::optional<std::uint32_t> cancelAfterWritten;  // 0 to 255
    std::vector<std::vector<int>> answers;
};

RadioStream DecodeRadioStream(const std::uint8_t* data, std::size_t size);

// The input that decodes to stream: what the seed corpus and the regression tests are made of.
std::vector<std::uint8_t> EncodeRadioStream(const RadioStream& stream);

// What one procedure did on the line.
struct ProcedureRun {
    Outcome outcome = Outcome::PortNotOpened;
    int steps = 0;         // numbered steps begun (reads or writes)
    bool endSent = false;  // the end-of-exchange request went out
};

// The requests of a radio that does everything right, in the order the procedures below make
// them: Radio Info (eleven reads, the end), the ESN test (a read, the end), the ESN write (the
// write, the end), the Regional ID test and the Regional ID write (the same).
inline constexpr std::size_t kProcedureRequests = 20;

// Plays the stream to the link three times, each on a fresh line:
//   - as a bare byte stream to ReceiveFrame, call after call until it is used up;
//   - as the radio's answers to the link's commands called one by one, in the order the
//     procedures make them on a radio that answers everything (each read of Radio Info, the
//     ESN and Regional ID reads and writes, every end of exchange);
//   - as the radio's answers to the shipped procedures run one after the other on sessions that
//     open that line: ReadRadioInfo, CheckEsnBlank, ProgramEsn (130/05/123456),
//     CheckNoRegionalId, ProgramRegionalId (North America); with the user's cancel where the
//     stream asks for one.
// Every command and every procedure is checked as it returns: the requests on the line, outputs
// written only on success, a message for every failure the user must hear of, a success only
// where the frames allow one, the port closed and the link detached, and the time each command
// may take. A broken rule is printed and aborts the process, which is how the fuzzer and the
// regression tests see it.
struct StreamSummary {
    unsigned bareFrames = 0;  // frames ReceiveFrame accepted from the bare stream
    unsigned commandsOk = 0;  // commands that succeeded when called one by one
    RadioInfoResult info;     // what Radio Info showed
    ProcedureRun infoRun;
    ReadResult esnCheck;
    ProcedureRun esnCheckRun;
    ProcedureRun esnWrite;
    ReadResult regionCheck;
    ProcedureRun regionCheckRun;
    ProcedureRun regionWrite;
};
StreamSummary CheckRadioStream(const std::uint8_t* data, std::size_t size);

}  // namespace varnel::fuzz
