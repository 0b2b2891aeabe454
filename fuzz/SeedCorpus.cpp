#include "fuzz/SeedCorpus.h"

#include <cstdint>
#include <string>

#include "link/RadioLink.h"
#include "procedures/RadioInfo.h"
#include "radio/Catalogue.h"
#include "radio/Esn.h"
#include "radio/Regions.h"
#include "tests/support/ScriptedPort.h"

namespace varnel::fuzz {
namespace {

using test::Concat;
using test::Frame;
using Bytes = std::vector<int>;

const Bytes kAck = Frame(radio_protocol::kAcknowledge);
const Bytes kNak = Frame(radio_protocol::kNak);
const Bytes kNotSupported = Frame(radio_protocol::kNotSupported);
const Bytes kWriteAccepted = Frame(radio_protocol::kWriteReply, {0});
const Bytes kWriteRefused = Frame(radio_protocol::kWriteReply, {1});

Bytes Reply(const Bytes& value) {
    Bytes payload{0x00};  // the leading byte, not part of the value
    payload.insert(payload.end(), value.begin(), value.end());
    return Frame(radio_protocol::kReadReply, payload);
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A value for each read of the sequence, as a radio that has them all would send them.
Bytes Value(std::uint8_t id) {
    switch (id) {
        case 0:
            return Text("H98UCF9PW6AN");
        case 1:
            return Text("428TNK0193");
        case 2:
            return {0x82, 0x51, 0xE2, 0x40, 0x4C};
        case 3:
            return Text("R02.10.01");
        case 4:
            return Text("R01.04.00");
        case 10:
            return Text("2019-05-14");
        case 11:
            return Text("PMUE4012A");
        case 12:
            return Text("PMUE4013B");
        case 14:
            return {0x01, 0x0A, 0xFF};
        case 15:
            return {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                    0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
        case 16:
            return {0x01};
        default:
            return {};
    }
}

// Where each request stands among the answers of a radio that does everything right: the
// eleven reads of Radio Info come first.
enum Request : std::size_t {
    kInfoEnd = kRadioInfoFieldCount,
    kEsnRead,
    kEsnReadEnd,
    kEsnWrite,
    kEsnWriteEnd,
    kRegionRead,
    kRegionReadEnd,
    kRegionWrite,
    kRegionWriteEnd,
};
static_assert(kRegionWriteEnd + 1 == kProcedureRequests);

const EsnFields kEsn{130, 5, 123456};
constexpr std::uint8_t kNorthAmerica = 1;

// The requests the tool sends, in order, for lines that do not echo them: the radio's side then
// has to hold the echo as well, or the tool hears nothing.
std::vector<Bytes> Requests() {
    const Bytes end = Frame(radio_protocol::kEndExchangeRequest);
    const auto esn = EsnWriteForm(kEsn);
    const auto region = RegionalIdWriteForm(kNorthAmerica);
    std::vector<Bytes> requests;
    for (const RadioInfoQuery& query : kRadioInfoQueries) {
        requests.push_back(Frame(radio_protocol::kReadRequest, {query.id}));
    }
    requests.push_back(end);
    requests.push_back(Frame(radio_protocol::kReadRequest, {PARAM_ESN}));
    requests.push_back(end);
    requests.push_back(Frame(radio_protocol::kWriteRequest, Bytes(esn.begin(), esn.end())));
    requests.push_back(end);
    requests.push_back(Frame(radio_protocol::kReadRequest, {PARAM_REGIONAL_ID}));
    requests.push_back(end);
    requests.push_back(Frame(radio_protocol::kWriteRequest, Bytes(region.begin(), region.end())));
    requests.push_back(end);
    return requests;
}

// The answers of a radio that knows every parameter, has no ESN and no Regional ID yet, and
// takes both: Radio Info, then the test and the write of each, every exchange ended.
std::vector<Bytes> HealthyAnswers() {
    std::vector<Bytes> answers;
    for (const RadioInfoQuery& query : kRadioInfoQueries) {
        answers.push_back(Concat({kAck, Reply(Value(query.id))}));
    }
    answers.push_back(kAck);
    answers.push_back(Concat({kAck, Reply({0, 0, 0, 0, 0})}));
    answers.push_back(kAck);
    answers.push_back(Concat({kAck, kWriteAccepted}));
    answers.push_back(kAck);
    answers.push_back(Concat({kAck, Reply({kRegionNone})}));
    answers.push_back(kAck);
    answers.push_back(Concat({kAck, kWriteAccepted}));
    answers.push_back(kAck);
    return answers;
}

RadioStream Stream(std::vector<Bytes> answers, bool echo = true, std::uint32_t timeoutMs = 1000,
                   bool shortReads = false) {
    RadioStream s;
    s.echo = echo;
    s.receiveTimeoutMs = timeoutMs;
    s.shortReads = shortReads;
    s.answers = std::move(answers);
    return s;
}

// The radio's answers with the user's cancel after the tool has written that many bytes.
RadioStream CancelledAfter(std::uint32_t written, std::vector<Bytes> answers = HealthyAnswers()) {
    RadioStream s = Stream(std::move(answers));
    s.cancelAfterWritten = written;
    return s;
}

// The healthy answers with the one to request number index replaced.
std::vector<Bytes> With(std::size_t index, Bytes answer) {
    std::vector<Bytes> answers = HealthyAnswers();
    answers.at(index) = std::move(answer);
    return answers;
}

}  // namespace

std::vector<Seed> SeedCorpus() {
    std::vector<Seed> seeds;
    seeds.push_back({"healthy", Stream(HealthyAnswers())});
    seeds.push_back({"healthy-short-reads", Stream(HealthyAnswers(), true, 2500, true)});

    // Without the line's echo, the answers carry it.
    std::vector<Bytes> noEcho = HealthyAnswers();
    const std::vector<Bytes> requests = Requests();
    for (std::size_t i = 0; i < noEcho.size(); ++i) {
        noEcho[i] = Concat({requests.at(i), noEcho[i]});
    }
    seeds.push_back({"no-echo-radio-sends-copy", Stream(noEcho, false)});
    seeds.push_back({"no-echo-silent", Stream({}, false)});

    // Refusals and missing parameters at the places where the procedures treat them differently.
    seeds.push_back({"nak-model-number", Stream(With(0, kNak))});
    seeds.push_back({"nak-after-ack", Stream(With(1, Concat({kAck, kNak})))});
    seeds.push_back({"not-supported-serial", Stream(With(1, Concat({kAck, kNotSupported})))});
    {
        std::vector<Bytes> answers = HealthyAnswers();
        answers[2] = Concat({kAck, kNotSupported});  // software version
        answers[4] = Concat({kAck, kNotSupported});  // last programmed
        seeds.push_back({"not-supported-3-and-10", Stream(answers)});
    }
    seeds.push_back({"not-supported-instead-of-ack", Stream(With(3, kNotSupported))});
    seeds.push_back({"unexpected-opcode", Stream(With(5, Concat({kAck, Frame(0x42, {1, 2})})))});
    seeds.push_back({"empty-read-reply", Stream(With(6, Concat({kAck, Frame(139)})))});
    seeds.push_back({"end-nak", Stream(With(kInfoEnd, kNak))});

    // The tests before a programming: every judgement of the value.
    seeds.push_back(
        {"esn-already-programmed", Stream(With(kEsnRead, Concat({kAck, Reply({0, 0, 0, 0, 1})})))});
    seeds.push_back(
        {"esn-four-bytes", Stream(With(kEsnRead, Concat({kAck, Reply({0, 0, 0, 0})})))});
    seeds.push_back({"esn-read-nak", Stream(With(kEsnRead, Concat({kAck, kNak})))});
    seeds.push_back(
        {"esn-read-not-supported", Stream(With(kEsnRead, Concat({kAck, kNotSupported})))});
    seeds.push_back({"region-already-set", Stream(With(kRegionRead, Concat({kAck, Reply({2})})))});
    seeds.push_back({"region-invalid", Stream(With(kRegionRead, Concat({kAck, Reply({9})})))});
    seeds.push_back(
        {"region-two-bytes-read", Stream(With(kRegionRead, Concat({kAck, Reply({0xFF, 1})})))});

    // The writes: refused, rejected, unknown, or not answered.
    seeds.push_back({"write-refused", Stream(With(kEsnWrite, Concat({kAck, kWriteRefused})))});
    seeds.push_back(
        {"write-reply-two-bytes",
         Stream(With(kEsnWrite, Concat({kAck, Frame(radio_protocol::kWriteReply, {0, 0})})))});
    seeds.push_back(
        {"write-not-supported", Stream(With(kEsnWrite, Concat({kAck, kNotSupported})))});
    seeds.push_back({"write-silent", Stream(With(kEsnWrite, {}))});
    seeds.push_back({"region-write-nak", Stream(With(kRegionWrite, Concat({kAck, kNak})))});

    // Every header form, values of unexpected lengths and the longest frames.
    seeds.push_back({"long-length-small-n",
                     Stream(With(0, Concat({kAck, {0x3F, 0x00, 0x03, 0xAA, 0xBB, 0x58}})))});
    seeds.push_back({"escaped-empty-frame", Stream(With(1, Concat({kAck, {0xF0, 0x0F}})))});
    seeds.push_back({"escaped-zero-length", Stream(With(2, {0xFF, 0x00, 0x00, 0x00}))});
    seeds.push_back({"value-60-bytes", Stream(With(3, Concat({kAck, Reply(Bytes(59, 'v'))})))});
    seeds.push_back({"esn-six-bytes", Stream(With(7, Concat({kAck, Reply({1, 2, 3, 4, 5, 6})})))});
    seeds.push_back({"region-two-bytes", Stream(With(8, Concat({kAck, Reply({0xFF, 0x01})})))});
    seeds.push_back({"frame-261-bytes", Stream(With(10, Concat({kAck, Reply(Bytes(255, 0x33))})))});
    seeds.push_back({"frame-too-long", Stream(With(10, Concat({kAck, Bytes(300, 0xFF)})))});

    // Broken and missing frames.
    {
        Bytes broken = Reply(Value(1));
        broken.back() ^= 0x01;
        seeds.push_back({"checksum-error", Stream(With(1, Concat({kAck, broken})))});
    }
    {
        Bytes cut = Reply(Value(3));
        cut.resize(4);
        cut.push_back(RadioStream::kSilence);
        seeds.push_back({"incomplete-reply", Stream(With(2, Concat({kAck, cut})))});
    }
    {
        std::vector<Bytes> answers = HealthyAnswers();
        answers.resize(8);  // silent after the ESN read of Radio Info
        seeds.push_back({"silent-after-esn", Stream(answers)});
    }
    seeds.push_back({"slow-bytes", Stream(With(0, {0x50, RadioStream::kSilence, 0xF1,
                                                   RadioStream::kSilence, 0x86, 0x88}),
                                          true, 250, true)});
    seeds.push_back({"flood", Stream(std::vector<Bytes>(kProcedureRequests, Bytes(200, 0x50)))});
    seeds.push_back({"silence", Stream({}, true, 3750)});

    // The user cancels: before anything goes out; in the middle of Radio Info (during the fourth
    // read request); during an ESN write that the radio never answers; and on the last byte of
    // one that it confirms, which then still counts.
    const std::uint32_t infoBytes = 11 * 4 + 3;
    const std::uint32_t esnTestBytes = 4 + 3;
    seeds.push_back({"cancel-at-once", CancelledAfter(0)});
    seeds.push_back({"cancel-during-info", CancelledAfter(4 * 3 + 2)});
    seeds.push_back({"cancel-during-unanswered-esn-write",
                     CancelledAfter(infoBytes + esnTestBytes + 2, With(kEsnWrite, {}))});
    seeds.push_back(
        {"cancel-on-last-byte-of-esn-write", CancelledAfter(infoBytes + esnTestBytes + 9)});
    return seeds;
}

}  // namespace varnel::fuzz
