// WaveOut against the scripted device: device choice, the Write rules call by call, the buffer
// lent for filling never being one the device still reads, and the 10 s bound; and the real
// completion signal.
#include "scripted_device.h"

#include "output/WaveOut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using mplay::AudioDevice;
using mplay::WaveOut;
using sonavix::test::ScriptedDevice;

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBlock = 0x50000;
constexpr uint32_t kCapacity = kBlock / 2;

double Ms(uint32_t values) {
    return 1000.0 * values / (2.0 * kRate);
}

// Fills count values with a pattern naming the call, so that order and content can be checked.
void Fill(int16_t* pcm, uint32_t count, int16_t tag) {
    for (uint32_t i = 0; i < count; ++i) {
        pcm[i] = static_cast<int16_t>(tag * 100 + static_cast<int16_t>(i % 97));
    }
}

bool Overlaps(const int16_t* pcm, const ScriptedDevice::Buffer& b) {
    const auto* p = reinterpret_cast<const uint8_t*>(pcm);
    return p >= b.data && p < b.data + b.bytes;
}

TEST(WaveOutOpen, OpensTheDefaultDeviceInTheFixedFormat) {
    ScriptedDevice device;
    WaveOut out;
    ASSERT_TRUE(out.Open(22050, 16, kBlock));
    EXPECT_EQ(device.openAttempts, std::vector<int>{AudioDevice::kDefaultDevice});
    EXPECT_EQ(device.format.formatTag, 1);
    EXPECT_EQ(device.format.channels, 2);
    EXPECT_EQ(device.format.sampleRate, 22050u);
    EXPECT_EQ(device.format.bitsPerSample, 16);
    EXPECT_EQ(device.format.blockAlign, 4);
    EXPECT_EQ(device.format.bytesPerSecond, 22050u * 4);
    uint32_t capacity = 0;
    EXPECT_NE(out.GetBuffer(capacity), nullptr);
    EXPECT_EQ(capacity, kCapacity);
}

TEST(WaveOutOpen, FallsBackToTheFirstNumberedDeviceThatAcceptsTheFormat) {
    ScriptedDevice device;
    device.deviceCount = 3;
    device.refusing = {AudioDevice::kDefaultDevice, 0};
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    EXPECT_EQ(device.openAttempts, (std::vector<int>{AudioDevice::kDefaultDevice, 0, 1}));
    EXPECT_EQ(device.openedDevice, 1);
}

TEST(WaveOutOpen, SkipsDevicesWithoutCapabilitiesAndFailsWhenNoneAccepts) {
    ScriptedDevice device;
    device.deviceCount = 3;
    device.refusing = {AudioDevice::kDefaultDevice, 0, 2};
    device.missing = {1};
    WaveOut out;
    EXPECT_FALSE(out.Open(kRate, 16, kBlock));
    EXPECT_EQ(device.openAttempts, (std::vector<int>{AudioDevice::kDefaultDevice, 0, 2}));
    // The buffers stay allocated, and writing to a device that never opened neither queues
    // nor waits.
    uint32_t capacity = 0;
    int16_t* pcm = out.GetBuffer(capacity);
    ASSERT_NE(pcm, nullptr);
    for (uint32_t count : {100u, 100u, 0u}) {
        pcm = out.Write(count);
        EXPECT_NE(pcm, nullptr);
    }
    EXPECT_TRUE(device.log.empty());
}

TEST(WaveOutOpen, WithoutADefaultDeviceNumberedDevicesAreNotTried) {
    ScriptedDevice device;
    device.deviceCount = 2;
    device.missing = {AudioDevice::kDefaultDevice};
    WaveOut out;
    EXPECT_FALSE(out.Open(kRate, 16, kBlock));
    EXPECT_TRUE(device.openAttempts.empty());

    ScriptedDevice none;
    none.missing = {AudioDevice::kDefaultDevice};
    EXPECT_FALSE(out.Open(kRate, 16, kBlock));
}

TEST(WaveOutWrite, AFirstEmptyWriteReturnsAtOnce) {
    ScriptedDevice device;
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    uint32_t count = 0;
    EXPECT_NE(out.Write(count), nullptr);
    EXPECT_TRUE(device.log.empty());
    EXPECT_EQ(device.nowMs, 0);
}

TEST(WaveOutWrite, ARecordingShorterThanABlockSoundsOnlyAtTheClosingPair) {
    ScriptedDevice device;
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    uint32_t capacity = 0;
    int16_t* pcm = out.GetBuffer(capacity);
    Fill(pcm, 5000, 1);
    uint32_t count = 5000;
    int16_t* next = out.Write(count);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(device.log.empty()) << "the first block is held back";
    EXPECT_NE(next, pcm);

    next = out.Write(count); // the empty closing write
    EXPECT_EQ(device.log, (std::vector<std::string>{"queue 10000", "queue 0", "wait 56"}));
    EXPECT_DOUBLE_EQ(device.nowMs, Ms(5000)) << "returns when the sound has ended";
    EXPECT_TRUE(device.queued[0].done);
    std::vector<int16_t> expected(5000);
    Fill(expected.data(), 5000, 1);
    EXPECT_EQ(std::memcmp(device.queued[0].contents.data(), expected.data(), 10000), 0);
}

TEST(WaveOutWrite, EachWriteReturnsAsTheOlderQueuedBufferEnds) {
    ScriptedDevice device;
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    uint32_t capacity = 0;
    int16_t* pcm = out.GetBuffer(capacity);
    // Two blocks a frame over capacity, then a little more, then the closing empty write.
    const uint32_t counts[] = {kCapacity + 2304, kCapacity + 1152, 4000, 0};
    std::vector<double> returnedAt;
    int16_t tag = 1;
    for (uint32_t n : counts) {
        Fill(pcm, n, tag++);
        uint32_t count = n;
        pcm = out.Write(count);
        ASSERT_NE(pcm, nullptr);
        returnedAt.push_back(device.nowMs);
        for (const auto* b : device.InFlight()) {
            EXPECT_FALSE(Overlaps(pcm, *b)) << "lent a buffer the device still reads";
        }
        EXPECT_LE(device.InFlight().size(), 2u);
    }
    EXPECT_EQ(returnedAt[0], 0) << "the first block does not sound yet";
    EXPECT_DOUBLE_EQ(returnedAt[1], Ms(counts[0]));
    EXPECT_DOUBLE_EQ(returnedAt[2], Ms(counts[0] + counts[1]));
    EXPECT_DOUBLE_EQ(returnedAt[3], Ms(counts[0] + counts[1] + counts[2]));

    ASSERT_EQ(device.queued.size(), 4u);
    tag = 1;
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(device.queued[i].bytes, counts[i] * 2);
        std::vector<int16_t> expected(counts[i]);
        Fill(expected.data(), counts[i], tag++);
        const auto* played = reinterpret_cast<const int16_t*>(device.queued[i].contents.data());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), played)) << "buffer " << i;
    }
}

TEST(WaveOutWrite, ALongPlaybackRotatesThroughTheThreeBuffersWithoutGaps) {
    ScriptedDevice device;
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    uint32_t capacity = 0;
    int16_t* pcm = out.GetBuffer(capacity);
    std::set<const int16_t*> lent;
    for (int call = 0; call < 12; ++call) {
        lent.insert(pcm);
        uint32_t count = kCapacity + 1000;
        pcm = out.Write(count);
        for (const auto* b : device.InFlight()) {
            ASSERT_FALSE(Overlaps(pcm, *b)) << "call " << call;
        }
    }
    EXPECT_EQ(lent.size(), 3u);
    // Each buffer starts exactly where the one before ended.
    for (size_t i = 1; i < device.queued.size(); ++i) {
        EXPECT_NEAR(device.queued[i].endMs - device.queued[i - 1].endMs, Ms(kCapacity + 1000),
                    1e-6);
    }
}

TEST(WaveOutWrite, ADeviceThatNeverReportsReleasesEachWaitAfterTenSeconds) {
    ScriptedDevice device;
    device.reportsCompletion = false;
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    uint32_t capacity = 0;
    out.GetBuffer(capacity);
    for (uint32_t n : {kCapacity + 10, kCapacity + 10, 100u, 0u}) {
        uint32_t count = n;
        EXPECT_NE(out.Write(count), nullptr);
    }
    EXPECT_EQ(device.waits, (std::vector<double>{10000, 10000, 10000}));
}

TEST(WaveOutWrite, ADeviceThatFailsIsStoppedAndNoLongerWaitedFor) {
    ScriptedDevice device;
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    uint32_t capacity = 0;
    out.GetBuffer(capacity);
    uint32_t count = kCapacity + 10;
    out.Write(count);
    device.fails = true;
    for (uint32_t n : {kCapacity + 10, kCapacity + 10, 100u, 0u}) {
        count = n;
        EXPECT_NE(out.Write(count), nullptr);
    }
    EXPECT_EQ(device.stops, 1);
    EXPECT_EQ(device.waits, std::vector<double>{0});
    EXPECT_EQ(device.queued.size(), 2u);
}

TEST(WaveOutWrite, ACountPastTheBufferIsCutToTheBuffer) {
    ScriptedDevice device;
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    for (uint32_t n : {0xFFFFFFFFu, 0x80000001u, 0u}) {
        uint32_t count = n;
        out.Write(count);
        EXPECT_EQ(count, 0u);
    }
    ASSERT_EQ(device.queued.size(), 3u);
    EXPECT_EQ(device.queued[0].bytes, kBlock + mplay::kPcmSpareBytes);
    EXPECT_EQ(device.queued[1].bytes, kBlock + mplay::kPcmSpareBytes);
    EXPECT_EQ(device.queued[2].bytes, 0u);
}

TEST(WaveOutClose, StopsAtOnceDroppingPendingBuffersAndIsIdempotent) {
    ScriptedDevice device;
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    uint32_t capacity = 0;
    out.GetBuffer(capacity);
    for (uint32_t n : {kCapacity + 10, kCapacity + 10}) {
        uint32_t count = n;
        out.Write(count);
    }
    const double before = device.nowMs;
    out.Close();
    EXPECT_EQ(device.stops, 1);
    EXPECT_EQ(device.nowMs, before);
    EXPECT_TRUE(device.queued[1].dropped);
    EXPECT_EQ(out.GetBuffer(capacity), nullptr);
    uint32_t count = 10;
    EXPECT_EQ(out.Write(count), nullptr);
    out.Close();
    EXPECT_EQ(device.stops, 1);
}

TEST(WaveOutClose, AStopRequestStopsTheDeviceAtTheNextWriteWithoutWaiting) {
    ScriptedDevice device;
    std::atomic<bool> stop{false};
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    out.SetStopRequest(&stop);
    uint32_t capacity = 0;
    out.GetBuffer(capacity);
    for (uint32_t n : {kCapacity + 10, kCapacity + 10}) {
        uint32_t count = n;
        out.Write(count);
    }
    const size_t waits = device.waits.size();
    stop = true;
    uint32_t count = kCapacity + 10;
    EXPECT_NE(out.Write(count), nullptr) << "the caller may still write into the buffer";
    EXPECT_EQ(device.stops, 1);
    EXPECT_EQ(device.waits.size(), waits);
    EXPECT_EQ(device.queued.size(), 2u);
}

TEST(WaveOutOpen, ReopeningStartsAFreshPlayback) {
    ScriptedDevice device;
    WaveOut out;
    ASSERT_TRUE(out.Open(kRate, 16, kBlock));
    uint32_t count = 100;
    out.Write(count);
    ASSERT_TRUE(out.Open(48000, 16, 4096));
    EXPECT_EQ(device.stops, 1);
    uint32_t capacity = 0;
    out.GetBuffer(capacity);
    EXPECT_EQ(capacity, 2048u);
    count = 0;
    out.Write(count); // a first write again: nothing queued
    EXPECT_TRUE(device.queued.empty());
}

} // namespace

namespace {

TEST(BufferDoneSignal, KeepsEveryCompletionUntilAWaitTakesIt) {
    mplay::BufferDoneSignal signal;
    EXPECT_FALSE(signal.WaitFor(std::chrono::milliseconds(0)));
    signal.Set();
    signal.Set();
    EXPECT_TRUE(signal.WaitFor(std::chrono::milliseconds(0)));
    EXPECT_TRUE(signal.TryConsume());
    EXPECT_FALSE(signal.TryConsume());
    signal.Set();
    signal.Reset();
    EXPECT_FALSE(signal.TryConsume());
}

TEST(BufferDoneSignal, AWaitEndsAtItsBoundOrAtTheSet) {
    using Clock = std::chrono::steady_clock;
    mplay::BufferDoneSignal signal;
    auto start = Clock::now();
    // 999 ms: the deadline's nanoseconds nearly always carry into its seconds.
    EXPECT_FALSE(signal.WaitFor(std::chrono::milliseconds(999)));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(999));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1999));

    start = Clock::now();
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        signal.Set();
    });
    EXPECT_TRUE(signal.WaitFor(std::chrono::milliseconds(10000)));
    setter.join();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
}

} // namespace
