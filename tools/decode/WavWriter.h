#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// A RIFF WAVE file written front to back; the sizes in the header are filled in by Finish.
class WavWriter {
  public:
    enum class Format { Pcm16, Float32 };

    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Open(const std::string& path, Format format, uint32_t channels, uint32_t sampleRate);
    bool WritePcm16(const int16_t* values, size_t count);
    bool WriteFloat32(const float* values, size_t count);
    // Patches the header sizes and closes the file; false on any earlier or final write error.
    bool Finish();

  private:
    bool WriteHeader();
    bool WriteRaw(const void* data, size_t bytes);

    std::FILE* m_file = nullptr;
    Format m_format = Format::Pcm16;
    uint32_t m_channels = 2;
    uint32_t m_sampleRate = 44100;
    uint64_t m_dataBytes = 0;
    bool m_ok = true;
};
