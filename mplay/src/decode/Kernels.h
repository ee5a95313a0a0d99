#pragma once
// The decoder's vector kernels, one set per width the processor runs. Each set gives exactly the
// bits of the portable one (no multiply-add is fused and every sum keeps its order), so the width
// only changes the speed. The set is picked once, at first use, from what the processor has:
// nothing runs before main, and sanitizer builds run the same wide code as every other build.
#include <cstdint>
#include <vector>

namespace mplay {

// For each listed subband sb (0..31, each at most once): the IMDCT of lines[18 sb ...] with
// blockType's window (2: short), of which the first half plus overlap[18 sb ...] replaces the
// lines and the second half becomes the new overlap. Exactly the bits of Imdct, at every width.
using SubbandTransform = void (*)(double* lines, double* overlap, const int32_t* subbands,
                                  int count, int blockType);

// The alias butterflies of the first `boundaries` subband boundaries of 576 lines, in place, with
// the bits of the one-pair-at-a-time form.
using AliasButterflies = void (*)(double* lines, int boundaries);

// Hybrid's work on a granule: every subband transformed with blockType's window, but the two
// lowest of a mixed block with the normal long window; silent subbands (+0.0 lines) take the
// stored transform of silence, which has the same bits.
using GranuleHybrid = void (*)(double* lines, double* overlap, int blockType, bool mixed);

// Synthesis: the cosine transform of a granule's 18 slots (work by subband, entry 18 * sb + slot,
// each scaled by eq[sb], or as they are when eq is null) into their new V columns, 64 values per
// slot.
using SlotTransform = void (*)(const double* work, const double* eq, double* columns);

// Synthesis: stores one slot's two new columns (column: 32 values for a, then 32 for b) as
// column p and p + 16 of both buffers (32 columns of 32 values), and windows buffer a into out
// (32 values, times 32767).
using SlotWindow = void (*)(const double* column, double* a, double* b, int p, double* out);

// Synthesis: a granule's 18 slots (columns: 64 values each, as SlotTransform makes them) through
// SlotWindow one after another from column p on, buffers a and b changing places after each
// slot; out gets 32 values a slot.
using GranuleWindow = void (*)(const double* columns, double* a, double* b, int p, double* out);

// Stereo: the 576 lines of middle and side into left, (m + s) * kSqrtHalf, and right,
// (m - s) * kSqrtHalf.
using MiddleSideLines = void (*)(const double* middle, const double* side, double* left,
                                 double* right);

// ClipToInt16 of values[0..32) into out[2 * j].
using SlotClip = void (*)(const double* values, int16_t* out);

// ClipToInt16 of left[n] and right[n] into out[2 * n] and out[2 * n + 1].
using PairClip = void (*)(const double* left, const double* right, int32_t count, int16_t* out);

struct LaneKernels {
    const char* name;
    int lanes; // doubles per vector
    SubbandTransform transform;
    AliasButterflies butterflies;
    GranuleHybrid granule;
    SlotTransform slotTransform;
    SlotWindow slotWindow;
    GranuleWindow granuleWindow;
    SlotClip slotClip;
    PairClip pairClip;
    MiddleSideLines middleSide;
};

// The widths this processor runs, narrowest (portable) first.
const std::vector<LaneKernels>& LaneKernelVariants();
// What the decoder uses: the widest, or the widest within SONAVIX_LANES (mplay/DecoderWidth.h).
const LaneKernels& ChosenLaneKernels();

// Each stage's kernels at `lanes` doubles per vector (2, 4 or 8); the widths above 2 exist on
// x86-64 only.
void SetHybridKernels(LaneKernels& kernels, int lanes);
void SetSynthesisKernels(LaneKernels& kernels, int lanes);
void SetStereoKernels(LaneKernels& kernels, int lanes);

} // namespace mplay
