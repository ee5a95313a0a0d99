#include "practice/VowelTargets.h"

#include "common/BoundedFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace sonavix::practice {
namespace {

constexpr qint64 kMaxBytes = 256 << 10;
constexpr const char* kGroups[] = {"men", "women", "children"}; // in speech::Voice order

std::optional<QPointF> ReadPoint(const QJsonValue& value) {
    const QJsonArray a = value.toArray();
    if (a.size() != 2)
        return std::nullopt;
    const double f1 = a[0].toDouble(), f2 = a[1].toDouble();
    if (!(f1 > 50 && f1 < 2000 && f2 > f1 && f2 < 5000))
        return std::nullopt;
    return QPointF(f1, f2);
}

} // namespace

bool VowelTargets::Load(const QString& path) {
    m_targets = {};
    const std::optional<QByteArray> bytes = ReadBoundedFile(path, kMaxBytes);
    if (!bytes)
        return false;
    const QJsonObject root = QJsonDocument::fromJson(*bytes).object();
    decltype(m_targets) targets{};
    for (const QJsonValue& v : root.value(QStringLiteral("vowels")).toArray()) {
        const QJsonObject vowel = v.toObject();
        const int n = vowel.value(QStringLiteral("n")).toInt(-1);
        if (!IsVowelSymbol(n))
            return false;
        for (size_t g = 0; g < std::size(kGroups); ++g) {
            const QJsonObject group = vowel.value(QLatin1String(kGroups[g])).toObject();
            const auto onset = ReadPoint(group.value(QStringLiteral("onset")));
            const auto offset = ReadPoint(group.value(QStringLiteral("offset")));
            if (!onset || !offset)
                return false;
            targets[n][g] = VowelTarget{vowel.value(QStringLiteral("diphthong")).toBool(), *onset,
                                        *offset, vowel.value(QStringLiteral("ipa")).toString()};
        }
    }
    for (const auto& symbol : targets)
        for (const auto& group : symbol)
            if (!group)
                return false;
    const QJsonObject radius = root.value(QStringLiteral("radiusBark")).toObject();
    const double r1 = radius.value(QStringLiteral("f1")).toDouble(m_radiusF1);
    const double r2 = radius.value(QStringLiteral("f2")).toDouble(m_radiusF2);
    if (!(r1 > 0 && r1 < 3 && r2 > 0 && r2 < 3))
        return false;
    m_radiusF1 = r1;
    m_radiusF2 = r2;
    m_targets = targets;
    return true;
}

std::optional<VowelTarget> VowelTargets::Find(int symbol, speech::Voice voice) const {
    const auto group = static_cast<size_t>(voice);
    if (!IsVowelSymbol(symbol) || group >= std::size(kGroups))
        return std::nullopt;
    return m_targets[symbol][group];
}

} // namespace sonavix::practice
