#pragma once
// Wave output: 16-bit stereo PCM through three rotating buffers. The caller fills one while the
// device plays another; Write blocks until the device has finished an older buffer.
#include "mplay/PcmSink.h"
#include "output/AudioDevice.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace mplay {

class WaveOut final : public PcmSink {
  public:
    static constexpr uint32_t kWaitMilliseconds = 10000;

    WaveOut();
    ~WaveOut() override;
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    bool Open(uint32_t sampleRate, uint32_t bitsPerSample, uint32_t blockSize);
    int16_t* GetBuffer(uint32_t& capacity) override;
    int16_t* Write(uint32_t& count) override;
    void Close();

    // Once *stop is raised, Write stops the device at once and no longer queues or waits.
    void SetStopRequest(const std::atomic<bool>* stop) { m_stop = stop; }
    // Ends the wait of a Write in progress early, so that it sees a stop request just raised.
    static void WakeWaiter();

  private:
    struct Slot {
        std::unique_ptr<int16_t[]> data;
        uint32_t length = 0; // bytes to play when queued
    };

    static void OnBufferDone();
    bool StopRequested() const;
    void StopDevice();
    void Rotate();
    void Queue(const Slot& slot, uint32_t length);
    void Wait();
    int16_t* Data(int slot) const { return m_buffers[slot].data.get(); }

    Slot m_buffers[3];
    PcmFormat m_format;
    AudioDevice* m_system = nullptr;       // the sound system the device was opened on
    std::unique_ptr<AudioOutput> m_device; // set only while a device is open
    uint32_t m_blockSize = 0;
    uint32_t m_bufferBytes = 0;
    uint32_t m_writeCount = 0;
    const std::atomic<bool>* m_stop = nullptr;
};

} // namespace mplay
