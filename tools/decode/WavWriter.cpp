#include "WavWriter.h"

#include <bit>
#include <limits>
#include <vector>

namespace {

// WAV is little-endian whatever the host is.
void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

} // namespace

WavWriter::~WavWriter() {
    if (m_file) {
        std::fclose(m_file);
    }
}

bool WavWriter::Open(const std::string& path, Format format, uint32_t channels,
                     uint32_t sampleRate) {
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        return false;
    }
    m_format = format;
    m_channels = channels;
    m_sampleRate = sampleRate;
    m_dataBytes = 0;
    m_ok = WriteHeader();
    return m_ok;
}

bool WavWriter::WriteHeader() {
    const uint32_t bytesPerSample = m_format == Format::Pcm16 ? 2 : 4;
    // A file past 4 GiB cannot state its size; the header then says the largest size it can.
    const uint64_t maxData = std::numeric_limits<uint32_t>::max() - 36u;
    const uint32_t data = static_cast<uint32_t>(m_dataBytes < maxData ? m_dataBytes : maxData);
    std::vector<uint8_t> h;
    PutTag(h, "RIFF");
    Put32(h, 36 + data);
    PutTag(h, "WAVE");
    PutTag(h, "fmt ");
    Put32(h, 16);
    Put16(h, m_format == Format::Pcm16 ? 1 : 3); // PCM or IEEE float
    Put16(h, m_channels);
    Put32(h, m_sampleRate);
    Put32(h, m_sampleRate * m_channels * bytesPerSample);
    Put16(h, m_channels * bytesPerSample);
    Put16(h, bytesPerSample * 8);
    PutTag(h, "data");
    Put32(h, data);
    return std::fwrite(h.data(), 1, h.size(), m_file) == h.size();
}

bool WavWriter::WriteRaw(const void* data, size_t bytes) {
    if (m_ok && bytes > 0 && std::fwrite(data, 1, bytes, m_file) != bytes) {
        m_ok = false;
    }
    m_dataBytes += bytes;
    return m_ok;
}

bool WavWriter::WritePcm16(const int16_t* values, size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        return WriteRaw(values, count * sizeof(int16_t));
    } else {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < count; ++i) {
            Put16(bytes, static_cast<uint16_t>(values[i]));
        }
        return WriteRaw(bytes.data(), bytes.size());
    }
}

bool WavWriter::WriteFloat32(const float* values, size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        return WriteRaw(values, count * sizeof(float));
    } else {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < count; ++i) {
            Put32(bytes, std::bit_cast<uint32_t>(values[i]));
        }
        return WriteRaw(bytes.data(), bytes.size());
    }
}

bool WavWriter::Finish() {
    if (!m_file) {
        return false;
    }
    bool ok = m_ok;
    // Output that cannot seek (a pipe) keeps the placeholder sizes; /dev/null seeks fine.
    if (ok && std::fseek(m_file, 0, SEEK_SET) == 0) {
        ok = WriteHeader();
    }
    ok = (std::fclose(m_file) == 0) && ok;
    m_file = nullptr;
    return ok;
}
