#pragma once
// A PcmSink that throws the samples away. Its buffer is exactly as large as a device buffer
// (block plus the spare that absorbs the frame decoded past capacity), so any write beyond what
// a real device buffer takes is an out-of-bounds write that AddressSanitizer reports.
#include "mplay/PcmSink.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace sonavix_fuzz {

class NullPcmSink final : public mplay::PcmSink {
  public:
    NullPcmSink() : m_buffer(mplay::kPcmBufferValues) {}

    int16_t* GetBuffer(uint32_t& capacity) override {
        capacity = mplay::kPcmBlockValues;
        return m_buffer.data();
    }

    int16_t* Write(uint32_t& count) override {
        // A count past the buffer means the decoder already wrote outside it.
        if (count > m_buffer.size())
            std::abort();
        m_total += count;
        ++m_writes;
        count = 0;
        return m_buffer.data();
    }

    uint64_t total() const { return m_total; }
    uint32_t writes() const { return m_writes; }

  private:
    std::vector<int16_t> m_buffer;
    uint64_t m_total = 0;
    uint32_t m_writes = 0;
};

} // namespace sonavix_fuzz
