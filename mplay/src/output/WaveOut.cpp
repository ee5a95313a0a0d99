// Wave output. In: blocks of interleaved 16-bit stereo PCM written by the decoder into buffers
// this object lends. Out: the same bytes, in order, to the sound device at the stream's rate.
// The device holds at most two buffers; Write paces the decoder by waiting for the older one.
#include "output/WaveOut.h"

#include "output/AudioDevice.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace mplay {
namespace {

// One process-wide completion signal: only one WaveOut is open at a time. Never destroyed,
// because a worker may still be playing while the process ends.
BufferDoneSignal& BufferDoneEvent() {
    static auto* g_bufferDoneEvent = new BufferDoneSignal;
    return *g_bufferDoneEvent;
}

std::atomic<AudioDevice*> g_testDevice{nullptr};

} // namespace

AudioDevice& CurrentAudioDevice() {
    AudioDevice* device = g_testDevice.load(std::memory_order_acquire);
    return device != nullptr ? *device : PortAudioDevice();
}

void SetAudioDevice(AudioDevice* device) {
    g_testDevice.store(device, std::memory_order_release);
}

WaveOut::WaveOut() = default;

WaveOut::~WaveOut() {
    Close();
}

bool WaveOut::Open(uint32_t sampleRate, uint32_t bitsPerSample, uint32_t blockSize) {
    Close();
    const uint64_t bytes = uint64_t{blockSize} + kPcmSpareBytes;
    if (bytes > UINT32_MAX) {
        return false;
    }
    for (Slot& slot : m_buffers) {
        slot.data.reset(new (std::nothrow) int16_t[(bytes + 1) / 2]());
        slot.length = 0;
        if (!slot.data) {
            return false;
        }
    }
    m_bufferBytes = static_cast<uint32_t>(bytes);
    m_blockSize = blockSize;
    m_writeCount = 0;
    m_format = PcmFormat{};
    m_format.sampleRate = sampleRate;
    m_format.bytesPerSecond = sampleRate * 4;
    m_format.bitsPerSample = static_cast<uint16_t>(std::min<uint32_t>(bitsPerSample, 0xFFFF));
    BufferDoneEvent().Reset();

    AudioDevice& system = CurrentAudioDevice();
    m_system = &system;
    // Without a default device the numbered ones are not tried either.
    if (!system.HasDevice(AudioDevice::kDefaultDevice)) {
        return false;
    }
    m_device = system.Open(AudioDevice::kDefaultDevice, m_format, &WaveOut::OnBufferDone);
    const int count = m_device ? 0 : system.DeviceCount();
    for (int device = 0; device < count && !m_device; ++device) {
        if (system.HasDevice(device)) {
            m_device = system.Open(device, m_format, &WaveOut::OnBufferDone);
        }
    }
    return m_device != nullptr;
}

int16_t* WaveOut::GetBuffer(uint32_t& capacity) {
    capacity = m_blockSize / 2;
    return Data(2);
}

int16_t* WaveOut::Write(uint32_t& count) {
    // A count past the buffer would have the device read beyond it.
    const uint32_t length =
        static_cast<uint32_t>(std::min<uint64_t>(uint64_t{count} * 2, m_bufferBytes));
    count = 0;
    if (StopRequested()) {
        StopDevice();
    }
    if (m_writeCount == 0) {
        // The first block is held back, so that the device starts with two.
        m_writeCount = 1;
        if (Data(0) && Data(1) && Data(2)) {
            Rotate();
            m_buffers[0].length = length;
        }
    } else if (m_writeCount == 1) {
        m_writeCount = 2;
        Queue(m_buffers[0], m_buffers[0].length);
        Rotate();
        Queue(m_buffers[0], length);
        Wait();
    } else {
        Queue(m_buffers[2], length);
        Rotate();
        Wait();
    }
    return Data(2);
}

void WaveOut::Close() {
    StopDevice();
    m_system = nullptr;
    for (Slot& slot : m_buffers) {
        slot.data.reset();
        slot.length = 0;
    }
}

void WaveOut::WakeWaiter() {
    BufferDoneEvent().Set();
}

void WaveOut::OnBufferDone() {
    BufferDoneEvent().Set();
}

bool WaveOut::StopRequested() const {
    return m_stop != nullptr && m_stop->load(std::memory_order_acquire);
}

void WaveOut::StopDevice() {
    if (m_device) {
        m_device->Stop();
        m_device.reset();
    }
}

void WaveOut::Rotate() {
    Slot filled = std::move(m_buffers[2]);
    m_buffers[2] = std::move(m_buffers[1]);
    m_buffers[1] = std::move(m_buffers[0]);
    m_buffers[0] = std::move(filled);
}

void WaveOut::Queue(const Slot& slot, uint32_t length) {
    if (m_device && slot.data) {
        m_device->Queue(reinterpret_cast<const uint8_t*>(slot.data.get()), length);
    }
}

void WaveOut::Wait() {
    if (!m_device) {
        return;
    }
    // The result is not looked at: a device that never reports goes on after the bound.
    m_system->Wait(BufferDoneEvent(), std::chrono::milliseconds(kWaitMilliseconds));
    // The buffer about to be lent may still be with a device that is being stopped; stopping it
    // here makes every buffer ours again. A device that has failed would only make every later
    // wait run to its bound.
    if (StopRequested() || m_device->Failed()) {
        StopDevice();
    }
}

} // namespace mplay
