#pragma once
// Alias reduction and hybrid synthesis of many lines at once, at the widest vectors the processor
// has.
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

struct LaneKernels {
    const char* name;
    SubbandTransform transform;
    AliasButterflies butterflies;
    GranuleHybrid granule;
};

// The widths this processor runs, narrowest (portable) first.
const std::vector<LaneKernels>& LaneKernelVariants();
// The widest; what the decoder uses.
const LaneKernels& ChosenLaneKernels();

} // namespace mplay
