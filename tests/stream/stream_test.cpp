// MpegStream and FrameHeader: sync rules, derived lengths, body words, end-of-stream rules.
#include "frame_builder.h"
#include "mplay/MpegStream.h"

#include <gtest/gtest.h>

#include <vector>

using mplay::FrameHeader;
using mplay::MpegStream;
using sonavix::test::Append;
using sonavix::test::FrameLengthOf;
using sonavix::test::HeaderFields;
using sonavix::test::MakeFrame;
using sonavix::test::MakeHeader;

namespace {

FrameHeader Taken(const HeaderFields& f) {
    FrameHeader h;
    h.bits = MakeHeader(f);
    h.SetLayer((4 - h.layer()) & 3);
    return h;
}

std::vector<uint8_t> Frame(const HeaderFields& f, uint8_t fill = 0x00) {
    const uint32_t length = FrameLengthOf(f);
    const uint32_t body = length >= 4 ? length - 4 : 0;
    return MakeFrame(f, std::vector<uint8_t>(body, fill), body);
}

struct Next {
    const uint32_t* words = nullptr;
    int32_t mainData = -1, id = -1, mode = -1, modeExt = -1, sf = -1;
};

Next Take(MpegStream& s) {
    Next n;
    n.words = s.NextFrame(n.mainData, n.id, n.mode, n.modeExt, n.sf);
    return n;
}

int CountFrames(MpegStream& s) {
    int n = 0;
    while (Take(s).words != nullptr) {
        ++n;
    }
    return n;
}

} // namespace

TEST(FrameHeader, WorkedLengths) {
    HeaderFields f; // MPEG-1 Layer III 128 kbit/s 44.1 kHz stereo, no CRC
    EXPECT_EQ(Taken(f).Bitrate(), 128000u);
    EXPECT_EQ(Taken(f).SampleRate(), 44100u);
    EXPECT_EQ(Taken(f).FrameLength(), 417u);
    EXPECT_EQ(Taken(f).BodyLength(), 413);
    EXPECT_EQ(Taken(f).MainDataLength(), 381);
    f.padding = 1;
    EXPECT_EQ(Taken(f).FrameLength(), 418u);
    EXPECT_EQ(Taken(f).BodyLength(), 414);
    EXPECT_EQ(Taken(f).MainDataLength(), 382);

    HeaderFields lsf; // MPEG-2 Layer III 64 kbit/s 22.05 kHz stereo
    lsf.id = 0;
    lsf.bitrateIndex = 8;
    EXPECT_EQ(Taken(lsf).Bitrate(), 64000u);
    EXPECT_EQ(Taken(lsf).FrameLength(), 208u);
    EXPECT_EQ(Taken(lsf).BodyLength(), 204);
    EXPECT_EQ(Taken(lsf).MainDataLength(), 187);
}

TEST(FrameHeader, SideInfoCrcAndOtherLayers) {
    HeaderFields f;
    EXPECT_EQ(Taken(f).SideInfoLength(), 32u);
    f.mode = 3;
    EXPECT_EQ(Taken(f).SideInfoLength(), 17u);
    f.id = 0;
    EXPECT_EQ(Taken(f).SideInfoLength(), 9u);
    f.mode = 1;
    EXPECT_EQ(Taken(f).SideInfoLength(), 17u);

    HeaderFields crc;
    crc.protection = 0;
    EXPECT_EQ(Taken(crc).CrcLength(), 2u);
    EXPECT_EQ(Taken(crc).MainDataLength(), 379);

    HeaderFields layer1;
    layer1.layerCode = 3; // Layer I, index 14 at 32 kHz: the longest body of all
    layer1.bitrateIndex = 14;
    layer1.samplingFrequency = 2;
    layer1.padding = 1;
    EXPECT_EQ(Taken(layer1).layer(), 1u);
    EXPECT_EQ(Taken(layer1).BodyLength(), 2013);
    EXPECT_EQ(Taken(layer1).MainDataLength(), 0);
}

TEST(FrameHeader, ZeroBitrateAndReservedLayerGiveNegativeBody) {
    HeaderFields free;
    free.bitrateIndex = 0;
    EXPECT_LT(Taken(free).BodyLength(), 0);
    HeaderFields bad;
    bad.bitrateIndex = 15;
    EXPECT_LT(Taken(bad).BodyLength(), 0);
    HeaderFields reserved;
    reserved.layerCode = 0;
    EXPECT_EQ(Taken(reserved).layer(), 0u);
    EXPECT_EQ(Taken(reserved).Bitrate(), 0u);
    EXPECT_LT(Taken(reserved).BodyLength(), 0);
}

TEST(MpegStream, OpenMemoryRules) {
    MpegStream s;
    const uint8_t one = 0;
    EXPECT_FALSE(s.OpenMemory(&one, 0));
    const std::vector<uint8_t> junk(100, 0x11);
    EXPECT_TRUE(s.OpenMemory(junk.data(), static_cast<uint32_t>(junk.size())));
    EXPECT_EQ(Take(s).words, nullptr);

    std::vector<uint8_t> data;
    HeaderFields f;
    Append(data, Frame(f, 0xA5));
    Append(data, Frame(f, 0x5A));
    ASSERT_TRUE(s.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
    EXPECT_EQ(s.GetSampleRate(), 44100u);
    EXPECT_EQ(s.GetBodyLength(), 413);
    EXPECT_EQ(s.GetLayer(), 3);
    // OpenMemory took the first frame; the caller rewinds before its loop.
    EXPECT_EQ(CountFrames(s), 1);
    s.Rewind();
    EXPECT_EQ(CountFrames(s), 2);
    s.Rewind();
    s.Close();
    EXPECT_EQ(Take(s).words, nullptr);
}

TEST(MpegStream, BodyWordsAreBigEndianWithZeroTail) {
    HeaderFields f;
    f.id = 0;
    f.bitrateIndex = 1; // 8 kbit/s at 22.05 kHz: 26-byte frame, 22-byte body
    std::vector<uint8_t> body(22);
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<uint8_t>(i + 1);
    }
    HeaderFields big = f;
    big.bitrateIndex = 14;
    // A long frame first, so that stale bytes would show in the short one's tail.
    std::vector<uint8_t> data = Frame(big, 0xEE);
    Append(data, MakeFrame(f, body, 22));
    MpegStream s;
    ASSERT_TRUE(s.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
    const Next n = Take(s);
    ASSERT_NE(n.words, nullptr);
    EXPECT_EQ(n.words[0], 0x01020304u);
    EXPECT_EQ(n.words[4], 0x11121314u);
    EXPECT_EQ(n.words[5], 0x15160000u);
    for (int w = 6; w < MpegStream::kFrameWords; ++w) {
        ASSERT_EQ(n.words[w], 0u) << "word " << w;
    }
    EXPECT_EQ(n.id, 0);
    EXPECT_EQ(n.mainData, 22 - 17);
}

TEST(MpegStream, OutputsDescribeTheNewHeader) {
    HeaderFields f;
    f.mode = 1;
    f.modeExtension = 2;
    f.samplingFrequency = 1;
    f.protection = 0;
    const std::vector<uint8_t> data = Frame(f);
    MpegStream s;
    ASSERT_TRUE(s.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
    s.Rewind();
    const Next n = Take(s);
    ASSERT_NE(n.words, nullptr);
    EXPECT_EQ(n.mainData, static_cast<int32_t>(FrameLengthOf(f)) - 4 - 2 - 32);
    EXPECT_EQ(n.id, 1);
    EXPECT_EQ(n.mode, 1);
    EXPECT_EQ(n.modeExt, 2);
    EXPECT_EQ(n.sf, 1);
    EXPECT_EQ(s.GetProtectionBit(), 0);
    EXPECT_EQ(s.GetSampleRate(), 48000u);

    // At the end the outputs are left as they were.
    Next end;
    end.words = s.NextFrame(end.mainData, end.id, end.mode, end.modeExt, end.sf);
    EXPECT_EQ(end.words, nullptr);
    EXPECT_EQ(end.mainData, -1);
    EXPECT_EQ(end.sf, -1);
}

TEST(MpegStream, LeadingJunkOfAnyLength) {
    HeaderFields f;
    for (size_t junk = 0; junk < 9; ++junk) {
        // 0xFF followed by a byte whose top nibble is not all ones is no sync.
        std::vector<uint8_t> data(junk, 0x00);
        if (junk >= 2) {
            data[junk - 2] = 0xFF;
            data[junk - 1] = 0xE2;
        }
        Append(data, Frame(f));
        Append(data, Frame(f));
        MpegStream s;
        ASSERT_TRUE(s.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
        s.Rewind();
        EXPECT_EQ(CountFrames(s), 2) << junk << " junk bytes";
    }
}

TEST(MpegStream, LaterFramesMustMatchTheFirst) {
    HeaderFields f;
    HeaderFields otherRate = f;
    otherRate.samplingFrequency = 1;
    HeaderFields otherId = f;
    otherId.id = 0;
    otherId.bitrateIndex = 8;
    HeaderFields mono = f;
    mono.mode = 3;
    HeaderFields changeable = f; // layer, bitrate, padding and CRC may change
    changeable.bitrateIndex = 5;
    changeable.padding = 1;
    changeable.protection = 0;
    changeable.mode = 1;

    std::vector<uint8_t> data = Frame(f);
    Append(data, Frame(otherRate));
    Append(data, Frame(otherId));
    Append(data, Frame(mono));
    Append(data, Frame(changeable));
    MpegStream s;
    ASSERT_TRUE(s.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
    s.Rewind();
    EXPECT_EQ(CountFrames(s), 2); // the first and the changeable one

    // A single-channel first frame accepts only single-channel frames.
    std::vector<uint8_t> monoFirst = Frame(mono);
    Append(monoFirst, Frame(f));
    Append(monoFirst, Frame(mono));
    ASSERT_TRUE(s.OpenMemory(monoFirst.data(), static_cast<uint32_t>(monoFirst.size())));
    s.Rewind();
    EXPECT_EQ(CountFrames(s), 2);
}

TEST(MpegStream, EndOfStreamRules) {
    HeaderFields f;
    HeaderFields freeFormat = f;
    freeFormat.bitrateIndex = 0;
    HeaderFields reservedLayer = f;
    reservedLayer.layerCode = 0;

    for (const HeaderFields& stopper : {freeFormat, reservedLayer}) {
        std::vector<uint8_t> data = Frame(f);
        Append(data, MakeFrame(stopper, {}, 0));
        Append(data, Frame(f));
        MpegStream s;
        ASSERT_TRUE(s.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
        s.Rewind();
        EXPECT_EQ(CountFrames(s), 1);
    }

    // A truncated last frame is dropped.
    std::vector<uint8_t> cut = Frame(f);
    Append(cut, Frame(f));
    cut.pop_back();
    MpegStream s;
    ASSERT_TRUE(s.OpenMemory(cut.data(), static_cast<uint32_t>(cut.size())));
    s.Rewind();
    EXPECT_EQ(CountFrames(s), 1);

    // A first header with the reserved sample rate delivers nothing and reports 1 Hz.
    HeaderFields reservedRate = f;
    reservedRate.samplingFrequency = 3;
    std::vector<uint8_t> bad = MakeFrame(reservedRate, {}, 413);
    ASSERT_TRUE(s.OpenMemory(bad.data(), static_cast<uint32_t>(bad.size())));
    EXPECT_EQ(s.GetSampleRate(), 1u);
    s.Rewind();
    EXPECT_EQ(CountFrames(s), 0);
}

TEST(MpegStream, SyncBytesInsideAnId3v2TagAreSkipped) {
    HeaderFields f;
    const std::vector<uint8_t> frame = Frame(f);
    // Payload that holds a complete false frame (as a cover picture might).
    HeaderFields fake;
    fake.samplingFrequency = 2;
    std::vector<uint8_t> payload = Frame(fake);
    payload.resize(600, 0xFF);
    for (bool footer : {false, true}) {
        const uint32_t size = static_cast<uint32_t>(payload.size());
        std::vector<uint8_t> data = {'I',
                                     'D',
                                     '3',
                                     4,
                                     0,
                                     static_cast<uint8_t>(footer ? 0x10 : 0x00),
                                     static_cast<uint8_t>((size >> 21) & 0x7F),
                                     static_cast<uint8_t>((size >> 14) & 0x7F),
                                     static_cast<uint8_t>((size >> 7) & 0x7F),
                                     static_cast<uint8_t>(size & 0x7F)};
        Append(data, payload);
        if (footer) {
            Append(data, {'3', 'D', 'I', 4, 0, 0x10, data[6], data[7], data[8], data[9]});
        }
        Append(data, frame);
        Append(data, frame);
        MpegStream s;
        ASSERT_TRUE(s.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
        EXPECT_EQ(s.GetSampleRate(), 44100u);
        s.Rewind(); // the tag is skipped again after a rewind
        EXPECT_EQ(CountFrames(s), 2);
    }

    // Tags claiming more than the data hold end the search; a non-syncsafe size is no tag.
    std::vector<uint8_t> huge = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    Append(huge, frame);
    MpegStream s;
    ASSERT_TRUE(s.OpenMemory(huge.data(), static_cast<uint32_t>(huge.size())));
    s.Rewind();
    EXPECT_EQ(CountFrames(s), 0);
    std::vector<uint8_t> notTag = {'I', 'D', '3', 3, 0, 0, 0x80, 0, 0, 0};
    Append(notTag, frame);
    ASSERT_TRUE(s.OpenMemory(notTag.data(), static_cast<uint32_t>(notTag.size())));
    s.Rewind();
    EXPECT_EQ(CountFrames(s), 1);
}

TEST(MpegStream, FalseSyncInJunkIsTakenAsFirstFrame) {
    // A false sync whose header passes every test fixes the pattern: later real frames at
    // another rate are then skipped.
    HeaderFields real;
    HeaderFields falseSync = real;
    falseSync.samplingFrequency = 1; // 48 kHz
    std::vector<uint8_t> data = Frame(falseSync);
    Append(data, Frame(real));
    Append(data, Frame(real));
    MpegStream s;
    ASSERT_TRUE(s.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
    EXPECT_EQ(s.GetSampleRate(), 48000u);
    s.Rewind();
    EXPECT_EQ(CountFrames(s), 1);
}
