#pragma once
// Where each vowel symbol should lie on the chart, for men, women and children (pho/vowels.json,
// made from published measurements by tools/media/vowels/make_vowel_targets.py).
#include "speech/Analysis.h"

#include <QPointF>
#include <QString>

#include <array>
#include <optional>

namespace sonavix::practice {

inline constexpr int kVowelSymbols = 21; // symbols 0..20 are the vowels and diphthongs

struct VowelTarget {
    bool diphthong = false;
    QPointF onset, offset; // x = F1, y = F2, in Hz; the same point for a monophthong
    QString ipa;
};

class VowelTargets {
  public:
    // False (and no targets) when the file is missing or not what the generator writes.
    bool Load(const QString& path);
    std::optional<VowelTarget> Find(int symbol, speech::Voice voice) const;
    // Half-axes of a target's region, in Bark.
    double RadiusF1() const { return m_radiusF1; }
    double RadiusF2() const { return m_radiusF2; }

  private:
    std::array<std::array<std::optional<VowelTarget>, 3>, kVowelSymbols> m_targets{};
    double m_radiusF1 = 0.5, m_radiusF2 = 0.8;
};

inline bool IsVowelSymbol(int symbol) {
    return symbol >= 0 && symbol < kVowelSymbols;
}

} // namespace sonavix::practice
