#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/radio-sim/Fault.h"
#include "tools/radio-sim/FrameCodec.h"
#include "tools/radio-sim/RadioModel.h"
#include "tools/radio-sim/RadioProfile.h"

namespace varnel::sim {
namespace {

Bytes Range(std::uint8_t count) {
    Bytes bytes(count);
    for (std::uint8_t i = 0; i < count; ++i) {
        bytes[i] = i;
    }
    return bytes;
}

Bytes Concat(Bytes head, const Bytes& tail, std::uint8_t last) {
    head.insert(head.end(), tail.begin(), tail.end());
    head.push_back(last);
    return head;
}

struct EncodeCase {
    std::uint8_t opcode;
    Bytes data;
    Bytes wire;
};

TEST(SimFrameCodec, EncodesTheShortestFormAndDecodesItBack) {
    const EncodeCase cases[] = {
        {16, {}, {0xF1, 0x10, 0xFE}},
        {35, {0x02}, {0xF2, 0x23, 0x02, 0xE8}},
        {24, {1, 2, 3, 4, 5, 6}, {0xF7, 0x18, 1, 2, 3, 4, 5, 6, 0xDB}},
        {5, {}, {0x50}},
        {3, {0xAA, 0xBB}, {0x33, 0xAA, 0xBB, 0x67}},
        {3, Range(13), Concat({0x3E}, Range(13), 0x73)},
        {3, Range(14), Concat({0x3F, 0x00, 0x0F}, Range(14), 0x56)},
        {3, Range(20), Concat({0x3F, 0x00, 0x15}, Range(20), 0xED)},
        {139, Range(20), Concat({0xFF, 0x8B, 0x00, 0x15}, Range(20), 0xA2)},
    };
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.opcode));
        EXPECT_EQ(EncodeFrame(c.opcode, c.data), c.wire);

        FrameDecoder decoder;
        FrameDecoder::Result result = FrameDecoder::Result::NeedMore;
        for (std::size_t i = 0; i < c.wire.size(); ++i) {
            result = decoder.Feed(c.wire[i]);
            EXPECT_EQ(result == FrameDecoder::Result::Complete, i + 1 == c.wire.size());
        }
        EXPECT_EQ(decoder.Opcode(), c.opcode);
        EXPECT_EQ(decoder.Data(), c.data);
        EXPECT_TRUE(decoder.ChecksumOk());
    }
}

TEST(SimFrameCodec, DecoderAcceptsNeedlessEscapesAndFlagsBadChecksumsAndOverflow) {
    FrameDecoder decoder;
    for (std::uint8_t b : {0x3F, 0x00, 0x03, 0xAA, 0xBB}) {
        EXPECT_EQ(decoder.Feed(b), FrameDecoder::Result::NeedMore);
    }
    EXPECT_EQ(decoder.Feed(0x59), FrameDecoder::Result::Complete);
    EXPECT_EQ(decoder.Opcode(), 3);
    EXPECT_EQ(decoder.Data(), (Bytes{0xAA, 0xBB}));
    EXPECT_FALSE(decoder.ChecksumOk());  // 58 would be right

    // N = 0 in the escaped length: complete after the header, with no data to hand out.
    decoder.Reset();
    for (std::uint8_t b : {0xFF, 0x8B, 0x00}) {
        EXPECT_EQ(decoder.Feed(b), FrameDecoder::Result::NeedMore);
    }
    EXPECT_EQ(decoder.Feed(0x00), FrameDecoder::Result::Complete);
    EXPECT_TRUE(decoder.Data().empty());

    // A header announcing 300 bytes: the 261st byte ends it as an overflow.
    decoder.Reset();
    FrameDecoder::Result result = decoder.Feed(0x3F);
    result = decoder.Feed(0x01);
    result = decoder.Feed(0x2D);
    std::size_t fed = 3;
    while (result == FrameDecoder::Result::NeedMore) {
        result = decoder.Feed(0x00);
        ++fed;
    }
    EXPECT_EQ(result, FrameDecoder::Result::Overflow);
    EXPECT_EQ(fed, kMaxFrameBytes);
}

TEST(SimEsn, CheckByteMatchesTheWorkedExamples) {
    struct Case {
        std::uint32_t f1, f2, f3;
        std::uint8_t check;
    };
    const Case cases[] = {{0, 0, 1, 0xD8},         {1, 2, 3, 0x07},       {12, 3, 4567, 0xD0},
                          {130, 5, 123456, 0x4C},  {200, 9, 65535, 0x83}, {0, 15, 65536, 0x0B},
                          {255, 15, 262143, 0x07}, {0, 0, 0, 0x99}};
    for (const Case& c : cases) {
        EXPECT_EQ(EsnCheckByte(c.f1, c.f2, c.f3), c.check) << c.f1 << "/" << c.f2 << "/" << c.f3;
    }
}

TEST(SimProfile, ReadsValuesInHexAndTextAndTheOtherStatements) {
    RadioProfile profile;
    std::string error;
    ASSERT_TRUE(
        ParseProfile("# a radio\n"
                     "name  Test radio  # named\r\n"
                     "value 0 \"A\\\"B\\\\C#\" 00 0x7f \"\\xFF\"\n"
                     "value 14\n"
                     "\n"
                     "unsupported 3 10\n"
                     "fault nak@3 silence@read=2\n"
                     "latency 15\n",
                     "t", profile, error))
        << error;
    EXPECT_EQ(profile.name, "Test radio");
    EXPECT_EQ(profile.values.at(0), (Bytes{'A', '"', 'B', '\\', 'C', '#', 0x00, 0x7F, 0xFF}));
    EXPECT_TRUE(profile.values.at(14).empty());
    EXPECT_EQ(profile.unsupported, (std::set<std::uint8_t>{3, 10}));
    ASSERT_EQ(profile.faults.size(), 2u);
    EXPECT_EQ(FormatFault(profile.faults[1]), "silence@read=2");
    EXPECT_EQ(profile.latencyMs, 15);
    EXPECT_EQ(profile.valueLine.at(14), 3u);
}

TEST(SimProfile, RefusesBadFilesWithTheLineNumber) {
    struct Case {
        std::string_view text;
        const char* message;
    };
    const Case cases[] = {
        {"value 2 00 0G\n", "p:1: \"0G\" is neither a hex byte"},
        {"\nvalue 256 00\n", "p:2: \"256\" is not a parameter id"},
        {"value\n", "p:1: \"value\" needs a parameter id"},
        {"value 1 \"open\n", "p:1: quoted text not closed"},
        {"value 1 \"\\q\"\n", "p:1: unknown escape"},
        {"value 1 00\nvalue 1 01\n", "p:2: parameter 1 already has a value on line 1"},
        {"unsupported 3\nvalue 3 00\n", "p:2: parameter 3 is listed as unsupported on line 1"},
        {"value 3 00\nunsupported 3\n", "p:2: parameter 3 has a value on line 1"},
        {"colour red\n", "p:1: unknown keyword \"colour\""},
        {"fault nak@0\n", "p:1: unknown trigger \"0\""},
        {"fault shout\n", "p:1: unknown fault \"shout\""},
        {"latency -1\n", "p:1: \"latency\" needs one number"},
        {"value 1 a\"b\"\n", "p:1: a quote inside a word"},
        {std::string_view("value 1 00\0\n", 12), "p:1: contains a NUL byte"},
    };
    for (const Case& c : cases) {
        RadioProfile profile;
        profile.name = "untouched";
        std::string error;
        EXPECT_FALSE(ParseProfile(c.text, "p", profile, error)) << c.text;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
        EXPECT_EQ(profile.name, "untouched");
    }
    RadioProfile profile;
    std::string error;
    std::string tooLong = "value 1";
    for (int i = 0; i < 256; ++i) {
        tooLong += " 00";
    }
    EXPECT_FALSE(ParseProfile(tooLong, "p", profile, error));
    EXPECT_NE(error.find("256 bytes"), std::string::npos) << error;
}

TEST(SimProfile, SaveReplacesOnlyTheWrittenValuesLines) {
    char path[] = "/tmp/varnel-sim-profile-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream out(path);
        out << "# keep me\nname Saved\nvalue 2 00 00 00 00 00   # ESN\n"
               "value 1 \"S\\\"#N\"  # serial\nvalue 4 \"same\"\n";
    }
    RadioProfile profile;
    std::string error;
    ASSERT_TRUE(LoadProfile(path, profile, error)) << error;
    auto values = profile.values;
    values[2] = {0x82, 0x51, 0xE2, 0x40, 0x4C};
    values[1] = {'T'};
    values[16] = {0x01};
    ASSERT_TRUE(SaveProfileValues(profile, values, error)) << error;

    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(),
              "# keep me\nname Saved\nvalue 2 82 51 E2 40 4C  # ESN\nvalue 1 \"T\"  # serial\n"
              "value 4 \"same\"\nvalue 16 01\n");
    RadioProfile reloaded;
    ASSERT_TRUE(LoadProfile(path, reloaded, error)) << error;
    EXPECT_EQ(reloaded.values, values);
    std::remove(path);
}

TEST(SimFault, ParsesEveryKindAndTriggerAndRefusesTheRest) {
    for (const char* text :
         {"nak@3", "nak-reply@read=2", "unexpected@end", "unexpected-reply@any", "not-supported@7",
          "reject@write=1", "bad-checksum@read=16", "bad-checksum-ack@1", "incomplete@end",
          "incomplete-ack@2", "too-long@read=0", "too-long-ack@write=4", "no-echo@1", "silence@5",
          "delay=1500@end"}) {
        Fault fault;
        std::string error;
        ASSERT_TRUE(ParseFault(text, fault, error)) << text << ": " << error;
        EXPECT_EQ(FormatFault(fault), text);
    }
    for (const char* text : {"", "nak@", "nak@-1", "nak@read=256", "nak@write=", "delay=@1",
                             "delay=60001", "nak@3x", "NAK@3", "silence@1@2"}) {
        Fault fault;
        std::string error;
        EXPECT_FALSE(ParseFault(text, fault, error)) << text;
        EXPECT_FALSE(error.empty());
    }
}

// The radio behind the line, without the line.
class SimRadioModel : public ::testing::Test {
protected:
    SimRadioModel() {
        std::string error;
        EXPECT_TRUE(
            ParseProfile("value 2 00 00 00 00 00\nvalue 16 FF\nvalue 1 \"abc\"\n"
                         "unsupported 3\n",
                         "t", m_profile, error));
    }
    static Request Make(std::uint8_t op, Bytes data) {
        Request request;
        request.frame = EncodeFrame(op, data);
        request.opcode = op;
        request.data = std::move(data);
        return request;
    }
    static std::vector<Bytes> Frames(const Reaction& reaction) {
        std::vector<Bytes> frames;
        for (const Answer& answer : reaction.answers) {
            frames.push_back(answer.frame);
        }
        return frames;
    }
    RadioProfile m_profile;
};

TEST_F(SimRadioModel, AnswersReadsWritesAndTheEndOfExchange) {
    RadioModel radio(m_profile);
    const Bytes ack{0x50};
    const Bytes notSupported{0xF1, 0x86, 0x88};
    EXPECT_EQ(Frames(radio.Handle(Make(35, {1}))),
              (std::vector<Bytes>{ack, EncodeFrame(139, {1, 'a', 'b', 'c'})}));
    EXPECT_EQ(Frames(radio.Handle(Make(35, {3}))), (std::vector<Bytes>{ack, notSupported}));
    EXPECT_EQ(Frames(radio.Handle(Make(35, {99}))), (std::vector<Bytes>{ack, notSupported}));
    EXPECT_EQ(Frames(radio.Handle(Make(16, {}))), (std::vector<Bytes>{ack}));
    EXPECT_EQ(Frames(radio.Handle(Make(35, {}))), (std::vector<Bytes>{{0x60}}));
    EXPECT_EQ(Frames(radio.Handle(Make(42, {1}))), (std::vector<Bytes>{{0x60}}));

    const Bytes accepted{0xF2, 0x87, 0x00, 0x86};
    const Bytes rejected = EncodeFrame(135, {1});
    struct Write {
        Bytes payload;
        Bytes reply;
    };
    const Write writes[] = {
        {{1, 0x82, 0x51, 0xE2, 0x40, 0x4D}, rejected},  // wrong check byte
        {{1, 0x82, 0x51, 0xE2, 0x40}, rejected},        // too short
        {{4, 5}, rejected},                             // no such region
        {{9, 1}, notSupported},                         // no such write id
        {{1, 0x82, 0x51, 0xE2, 0x40, 0x4C}, accepted},
        {{4, 3}, accepted},
    };
    for (const Write& w : writes) {
        EXPECT_EQ(Frames(radio.Handle(Make(24, w.payload))), (std::vector<Bytes>{ack, w.reply}));
    }
    EXPECT_EQ(radio.Values().at(2), (Bytes{0x82, 0x51, 0xE2, 0x40, 0x4C}));
    EXPECT_EQ(radio.Values().at(16), (Bytes{3}));
    EXPECT_EQ(radio.RequestCount(), 12);

    radio.RemoveValue(16);
    EXPECT_EQ(Frames(radio.Handle(Make(24, {4, 1}))), (std::vector<Bytes>{ack, notSupported}));

    Request garbled = Make(35, {1});
    garbled.checksumOk = false;
    EXPECT_TRUE(radio.Handle(garbled).answers.empty());
}

TEST_F(SimRadioModel, FaultsReplaceTheirFrameAndStopTheAnswer) {
    const Bytes readEsn{2};
    const Bytes reply = EncodeFrame(139, {2, 0, 0, 0, 0, 0});
    Bytes badReply = reply;
    badReply.back() = static_cast<std::uint8_t>(badReply.back() + 1);
    Bytes cutReply = reply;
    cutReply.pop_back();
    struct Case {
        const char* fault;
        std::uint8_t op;
        Bytes data;
        std::vector<Bytes> answers;
    };
    const Case cases[] = {
        {"nak@1", 35, readEsn, {{0x60}}},
        {"nak-reply@read=2", 35, readEsn, {{0x50}, {0x60}}},
        {"unexpected", 35, readEsn, {{0x70}}},
        {"unexpected-reply@read=2", 35, readEsn, {{0x50}, {0x70}}},
        {"not-supported@read=2", 35, readEsn, {{0x50}, {0xF1, 0x86, 0x88}}},
        {"bad-checksum@read=2", 35, readEsn, {{0x50}, badReply}},
        {"bad-checksum@end", 16, {}, {{0x51, 0xAF}}},
        {"bad-checksum-ack@1", 35, readEsn, {{0x51, 0xAF}}},
        {"incomplete@read=2", 35, readEsn, {{0x50}, cutReply}},
        {"incomplete@end", 16, {}, {{0x51}}},
        {"nak@read=1", 35, readEsn, {{0x50}, reply}},  // another id: no fault
        {"nak@2", 35, readEsn, {{0x50}, reply}},       // another request: no fault
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        RadioModel radio(m_profile);
        std::string error;
        Fault fault;
        ASSERT_TRUE(ParseFault(c.fault, fault, error)) << error;
        radio.AddFault(fault);
        EXPECT_EQ(Frames(radio.Handle(Make(c.op, c.data))), c.answers);
    }

    RadioModel radio(m_profile);
    Fault fault;
    std::string error;
    ASSERT_TRUE(ParseFault("too-long@any", fault, error));
    radio.AddFault(fault);
    const std::vector<Bytes> frames = Frames(radio.Handle(Make(35, readEsn)));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].size(), 305u);
    EXPECT_EQ((Bytes{frames[1].begin(), frames[1].begin() + 4}), (Bytes{0xFF, 0x8B, 0x01, 0x2D}));
}

TEST_F(SimRadioModel, SilenceLastsEchoAndDelayFollowTheirTriggersAndRefusedWritesDoNotLand) {
    RadioModel radio(m_profile);
    for (const char* text : {"bad-checksum@1", "no-echo@2", "reject@write=4", "nak-reply@3",
                             "delay=40@end", "silence@5"}) {
        Fault fault;
        std::string error;
        ASSERT_TRUE(ParseFault(text, fault, error)) << error;
        radio.AddFault(fault);
    }
    radio.SetLatencyMs(5);
    const Bytes esn{0x82, 0x51, 0xE2, 0x40, 0x4C};

    // 1: the write was done; only its reply was damaged on the way back.
    const Reaction first = radio.Handle(Make(24, {1, 0x82, 0x51, 0xE2, 0x40, 0x4C}));
    EXPECT_TRUE(first.echo);
    EXPECT_EQ(first.delayMs, 5);
    EXPECT_EQ(radio.Values().at(2), esn);
    // 2: no echo, yet the radio answers; a rejected write does not land.
    EXPECT_TRUE(radio.EchoMayBeDropped());
    const Reaction second = radio.Handle(Make(24, {4, 2}));
    EXPECT_FALSE(second.echo);
    EXPECT_EQ(second.answers.size(), 2u);
    EXPECT_EQ(radio.Values().at(16), (Bytes{0xFF}));
    EXPECT_FALSE(radio.EchoMayBeDropped());
    // 3: a write the radio NAKs does not land either.
    radio.Handle(Make(24, {1, 0, 0, 0, 1, 0xD8}));
    EXPECT_EQ(radio.Values().at(2), esn);
    // 4: the delay adds to the latency.
    const Reaction fourth = radio.Handle(Make(16, {}));
    EXPECT_EQ(fourth.delayMs, 45);
    EXPECT_EQ(fourth.answers.size(), 1u);
    // 5 and on: silence, with the line still echoing, until the faults are cleared.
    const Reaction fifth = radio.Handle(Make(16, {}));
    EXPECT_TRUE(fifth.echo);
    EXPECT_TRUE(fifth.answers.empty());
    EXPECT_TRUE(radio.Handle(Make(35, {1})).answers.empty());
    radio.ClearFaults();
    EXPECT_EQ(radio.Handle(Make(35, {1})).answers.size(), 2u);
}

}  // namespace
}  // namespace varnel::sim
