#include "decode/Kernels.h"

#include "decode/Lanes.h"
#include "mplay/DecoderWidth.h"

#include <cstdlib>
#include <cstring>

namespace mplay {
namespace {

LaneKernels MakeKernels(const char* name, int lanes) {
    LaneKernels kernels{};
    kernels.name = name;
    kernels.lanes = lanes;
    SetHybridKernels(kernels, lanes);
    SetSynthesisKernels(kernels, lanes);
    SetStereoKernels(kernels, lanes);
    return kernels;
}

std::vector<LaneKernels> FindVariants() {
    std::vector<LaneKernels> found{MakeKernels("portable", 2)};
#ifdef MPLAY_LANES_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        found.push_back(MakeKernels("avx2", 4));
    }
    if (__builtin_cpu_supports("avx512f")) {
        found.push_back(MakeKernels("avx512f", 8));
    }
#endif
    return found;
}

// The widest variant no wider than the one named, so that a cap the processor lacks (avx512f on
// an AVX2 machine) still gives its widest; no name, or one not known, leaves the widest.
const LaneKernels& Capped(const std::vector<LaneKernels>& variants, const char* cap) {
    static constexpr struct {
        const char* name;
        int lanes;
    } kNames[] = {{"portable", 2}, {"avx2", 4}, {"avx512f", 8}};
    int most = variants.back().lanes;
    for (const auto& known : kNames) {
        if (cap && std::strcmp(cap, known.name) == 0) {
            most = known.lanes;
        }
    }
    const LaneKernels* chosen = &variants.front();
    for (const LaneKernels& variant : variants) {
        if (variant.lanes <= most) {
            chosen = &variant;
        }
    }
    return *chosen;
}

} // namespace

const std::vector<LaneKernels>& LaneKernelVariants() {
    static const std::vector<LaneKernels> variants = FindVariants();
    return variants;
}

const LaneKernels& ChosenLaneKernels() {
    static const LaneKernels& chosen = Capped(LaneKernelVariants(), std::getenv("SONAVIX_LANES"));
    return chosen;
}

const char* DecoderWidthName() {
    return ChosenLaneKernels().name;
}

int DecoderWidthLanes() {
    return ChosenLaneKernels().lanes;
}

} // namespace mplay
