#include "Report.h"

namespace {

using sonavix::speech::Analysis;
using sonavix::speech::VowelMeasure;

const char* const kPoints[3] = {"20", "50", "80"};

void PlainFormants(std::FILE* out, const char* indent, const VowelMeasure& v) {
    for (int p = 0; p < 3; ++p) {
        const auto& f = v.at[static_cast<size_t>(p)];
        std::fprintf(out, "%sformants at %s %%: F1 %.0f  F2 %.0f  F3 %.0f Hz\n", indent, kPoints[p],
                     f[0].frequency, f[1].frequency, f[2].frequency);
    }
}

void JsonFormants(std::FILE* out, const VowelMeasure& v) {
    std::fputs("{", out);
    for (int p = 0; p < 3; ++p) {
        const auto& f = v.at[static_cast<size_t>(p)];
        std::fprintf(out, "%s\"%s\": [%.1f, %.1f, %.1f]", p ? ", " : "", kPoints[p], f[0].frequency,
                     f[1].frequency, f[2].frequency);
    }
    std::fputs("}", out);
}

} // namespace

void PrintPlain(std::FILE* out, const Analysis& a) {
    std::fprintf(out, "duration: %.3f s\n", a.duration);
    if (a.speech) {
        std::fprintf(out, "speech: %.3f to %.3f s (%.3f s)\n", a.onset, a.offset,
                     a.offset - a.onset);
    } else {
        std::fputs("speech: none found\n", out);
    }
    std::fprintf(out, "noise floor: %.1f dBFS\n", a.noiseFloorDb);
    std::fprintf(out, "F0: median %.1f Hz, range %.1f to %.1f Hz\n", a.f0.median, a.f0.min,
                 a.f0.max);
    std::fprintf(out, "voiced fraction: %.2f\n", a.voicedFraction);
    std::fprintf(out, "centre of gravity: %.0f Hz\n", a.centreOfGravity);
    std::fputs("longest voiced segment:\n", out);
    PlainFormants(out, "  ", a.vowel);
    for (size_t i = 0; i < a.segments.size(); ++i) {
        const auto& s = a.segments[i];
        std::fprintf(out, "segment %zu: %.3f to %.3f s, F0 median %.1f Hz\n", i + 1, s.start, s.end,
                     s.f0.median);
        PlainFormants(out, "  ", s.formants);
    }
}

void PrintJson(std::FILE* out, const Analysis& a) {
    std::fprintf(out, "{\"duration\": %.4f, \"speech\": %s, \"onset\": %.4f, \"offset\": %.4f,\n",
                 a.duration, a.speech ? "true" : "false", a.onset, a.offset);
    std::fprintf(out,
                 " \"noise_floor_db\": %.1f, \"f0\": {\"median\": %.2f, \"min\": %.2f, "
                 "\"max\": %.2f},\n",
                 a.noiseFloorDb, a.f0.median, a.f0.min, a.f0.max);
    std::fprintf(out,
                 " \"voiced_fraction\": %.3f, \"cog\": %.1f,\n \"formants\": ", a.voicedFraction,
                 a.centreOfGravity);
    JsonFormants(out, a.vowel);
    std::fputs(",\n \"segments\": [", out);
    for (size_t i = 0; i < a.segments.size(); ++i) {
        const auto& s = a.segments[i];
        std::fprintf(out,
                     "%s\n  {\"start\": %.4f, \"end\": %.4f, \"f0_median\": %.2f, \"formants\": ",
                     i ? "," : "", s.start, s.end, s.f0.median);
        JsonFormants(out, s.formants);
        std::fputs("}", out);
    }
    std::fputs("]}\n", out);
}
