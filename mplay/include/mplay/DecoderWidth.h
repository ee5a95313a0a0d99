#pragma once
// Which vector width the decoder runs on this processor, for tools and benchmarks. Every width
// gives the same bits. SONAVIX_LANES=portable|avx2|avx512f in the environment, read once at the
// first decode, caps it (to measure the narrower paths on a wider machine); without it, or with
// another value, the widest the processor has is used.
namespace mplay {

// "portable", "avx2" or "avx512f".
const char* DecoderWidthName();
// Doubles per vector: 2, 4 or 8.
int DecoderWidthLanes();

} // namespace mplay
