#include "decode/Kernels.h"

#include "decode/Lanes.h"

namespace mplay {
namespace {

LaneKernels MakeKernels(const char* name, int lanes) {
    LaneKernels kernels{};
    kernels.name = name;
    kernels.lanes = lanes;
    SetHybridKernels(kernels, lanes);
    SetSynthesisKernels(kernels, lanes);
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

} // namespace

const std::vector<LaneKernels>& LaneKernelVariants() {
    static const std::vector<LaneKernels> variants = FindVariants();
    return variants;
}

const LaneKernels& ChosenLaneKernels() {
    return LaneKernelVariants().back();
}

} // namespace mplay
