#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/InfoSequence.h"

namespace varnel::fuzz {

// The bytes a radio, a cable or an adapter may put on the line, decoded from an arbitrary input:
//
//   byte 0   options: bit 0 the line echoes what the tool sends; bit 1 a silent read lasts 1 ms
//            instead of 1000 ms (deadlines then pass in many small steps); bits 4 to 7 the timeout
//            of the bare receives, in units of 250 ms.
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
    std::vector<std::vector<int>> answers;
};

RadioStream DecodeRadioStream(const std::uint8_t* data, std::size_t size);

// The input that decodes to stream: what the seed corpus and the regression tests are made of.
std::vector<std::uint8_t> EncodeRadioStream(const RadioStream& stream);

// Plays the stream to the link twice: first as a bare byte stream to ReceiveFrame, call after
// call until it is used up; then as the radio's answers to a whole Radio Info sequence followed
// by an ESN write and EndExchange. Every command is checked as it returns: the requests on the
// line, the outputs written only on success, a message for every failure the user must hear of,
// a success only where the frames allow one, and the time each command may take. A broken rule
// is printed and aborts the process, which is how the fuzzer and the regression tests see it.
struct StreamSummary {
    unsigned bareFrames = 0;  // frames ReceiveFrame accepted from the bare stream
    InfoOutcome info;         // the Radio Info sequence
    bool writeOk = false;     // the ESN write
    bool endOk = false;       // the last EndExchange
};
StreamSummary CheckRadioStream(const std::uint8_t* data, std::size_t size);

}  // namespace varnel::fuzz
