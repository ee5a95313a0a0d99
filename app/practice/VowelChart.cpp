#include "practice/VowelChart.h"

#include "speech/Measures.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace sonavix::practice {
namespace {

constexpr size_t kShownAttempts = 5;
constexpr int kMargin = 30;

// The chart's corners in Hz: wide enough for children's front vowels and men's back ones.
constexpr double kF1Top = 200, kF1Bottom = 1150;
constexpr double kF2Left = 3300, kF2Right = 650;

const QColor kTargetColour(40, 150, 70);
const QColor kAttemptColour(200, 60, 30);

std::optional<QPointF> Point(const std::array<speech::Resonance, speech::kTrackedFormants>& f) {
    if (f[0].frequency <= 0 || f[1].frequency <= 0)
        return std::nullopt;
    return QPointF(f[0].frequency, f[1].frequency);
}

void Arrow(QPainter& p, const QPointF& from, const QPointF& to) {
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double length = std::hypot(d.x(), d.y());
    if (length < 4)
        return;
    const QPointF u = d / length, n(-u.y(), u.x());
    QPainterPath head;
    head.moveTo(to);
    head.lineTo(to - 9 * u + 4 * n);
    head.lineTo(to - 9 * u - 4 * n);
    head.closeSubpath();
    p.fillPath(head, p.pen().color());
}

} // namespace

ChartAttempt ChartPointsOf(const speech::Analysis& analysis, bool diphthong) {
    ChartAttempt a;
    const auto& at = analysis.vowel.at;
    if (diphthong) {
        a.onset = Point(at[0]);
        a.offset = Point(at[2]);
    } else {
        a.onset = a.offset = Point(at[1]);
    }
    return a;
}

VowelChart::VowelChart(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
}

void VowelChart::SetTargets(const VowelTargets* targets, speech::Voice voice, int symbol,
                            const QString& label) {
    m_targets = targets;
    m_voice = voice;
    m_symbol = symbol;
    m_label = label;
    update();
}

void VowelChart::SetAttempts(std::vector<ChartAttempt> attempts) {
    if (attempts.size() > kShownAttempts)
        attempts.resize(kShownAttempts);
    m_attempts = std::move(attempts);
    update();
}

QRectF VowelChart::Plot() const {
    return QRectF(kMargin, kMargin / 2.0 + fontMetrics().height(), width() - kMargin - 10,
                  height() - kMargin - kMargin / 2.0 - fontMetrics().height());
}

QPointF VowelChart::Place(const QPointF& f1f2) const {
    using speech::HzToBark;
    const QRectF r = Plot();
    const double x =
        (HzToBark(kF2Left) - HzToBark(f1f2.y())) / (HzToBark(kF2Left) - HzToBark(kF2Right));
    const double y =
        (HzToBark(f1f2.x()) - HzToBark(kF1Top)) / (HzToBark(kF1Bottom) - HzToBark(kF1Top));
    return {r.left() + std::clamp(x, -0.02, 1.02) * r.width(),
            r.top() + std::clamp(y, -0.02, 1.02) * r.height()};
}

void VowelChart::paintEvent(QPaintEvent*) {
    using speech::BarkToHz;
    using speech::HzToBark;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().base());
    const QRectF plot = Plot();
    p.setPen(palette().text().color());
    p.drawText(QRectF(0, 2, width(), fontMetrics().height()), Qt::AlignHCenter,
               QStringLiteral("元音图（越靠左舌位越前，越靠下口越张开）"));

    // Grid and axes in Hz at Bark positions.
    QFont small = font();
    small.setPointSizeF(std::max(6.0, font().pointSizeF() * 0.8));
    p.setFont(small);
    p.setPen(QPen(palette().mid().color(), 1, Qt::DotLine));
    for (const double f2 : {3000.0, 2500.0, 2000.0, 1500.0, 1000.0, 700.0}) {
        const double x = Place({kF1Top, f2}).x();
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.drawText(QRectF(x - 25, plot.bottom() + 2, 50, 12), Qt::AlignHCenter,
                   QString::number(f2, 'f', 0));
    }
    for (const double f1 : {300.0, 500.0, 700.0, 900.0, 1100.0}) {
        const double y = Place({f1, kF2Left}).y();
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.drawText(QRectF(0, y - 6, kMargin - 3, 12), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(f1, 'f', 0));
    }
    p.setPen(palette().text().color());
    p.drawRect(plot);
    p.drawText(QRectF(plot.left(), plot.bottom() + 13, plot.width(), 12), Qt::AlignRight,
               QStringLiteral("F2 (Hz)"));
    p.drawText(QRectF(2, plot.top() - 14, kMargin + 20, 12), Qt::AlignLeft, QStringLiteral("F1"));
    p.setClipRect(plot);

    const double radiusX = m_targets ? m_targets->RadiusF2() : 0.8;
    const double radiusY = m_targets ? m_targets->RadiusF1() : 0.5;
    const double pxPerBarkX = plot.width() / (HzToBark(kF2Left) - HzToBark(kF2Right));
    const double pxPerBarkY = plot.height() / (HzToBark(kF1Bottom) - HzToBark(kF1Top));
    auto region = [&](const QPointF& f1f2) {
        const QPointF c = Place(f1f2);
        return QRectF(c.x() - radiusX * pxPerBarkX, c.y() - radiusY * pxPerBarkY,
                      2 * radiusX * pxPerBarkX, 2 * radiusY * pxPerBarkY);
    };

    // The other monophthongs, faint, so that the chart has landmarks.
    if (m_targets) {
        QColor faint = palette().text().color();
        faint.setAlpha(90);
        p.setPen(faint);
        for (int n = 0; n < kVowelSymbols; ++n) {
            const auto t = m_targets->Find(n, m_voice);
            if (!t || t->diphthong || n == m_symbol)
                continue;
            const QPointF at = Place(t->onset);
            p.drawEllipse(at, 2.0, 2.0);
            p.drawText(QRectF(at.x() + 3, at.y() - 7, 30, 14), Qt::AlignLeft | Qt::AlignVCenter,
                       t->ipa);
        }
    }

    // The target.
    const auto target = m_targets ? m_targets->Find(m_symbol, m_voice) : std::nullopt;
    if (target) {
        QColor fill = kTargetColour;
        fill.setAlpha(60);
        p.setPen(QPen(kTargetColour, 1.5));
        p.setBrush(fill);
        p.drawEllipse(region(target->onset));
        if (target->diphthong) {
            p.drawEllipse(region(target->offset));
            p.setPen(QPen(kTargetColour, 2, Qt::DashLine));
            Arrow(p, Place(target->onset), Place(target->offset));
        }
        p.setPen(kTargetColour.darker(130));
        QFont big = font();
        big.setPointSizeF(font().pointSizeF() * 1.3);
        big.setBold(true);
        p.setFont(big);
        const QPointF at = Place(target->onset);
        p.drawText(QRectF(at.x() - 40, at.y() - 10, 80, 20), Qt::AlignCenter, m_label);
        p.setFont(small);
    }

    // Attempts, oldest first so the newest lies on top.
    for (size_t i = m_attempts.size(); i-- > 0;) {
        const ChartAttempt& a = m_attempts[i];
        if (!a.onset || !a.offset)
            continue;
        QColor c = kAttemptColour;
        c.setAlphaF(1.0 - 0.17 * static_cast<double>(i));
        p.setPen(QPen(c, i == 0 ? 2.5 : 1.5));
        p.setBrush(c);
        const QPointF from = Place(*a.onset), to = Place(*a.offset);
        if (target && target->diphthong)
            Arrow(p, from, to);
        p.drawEllipse(from, i == 0 ? 5.0 : 3.5, i == 0 ? 5.0 : 3.5);
        if (i == 0) {
            p.setPen(c.darker(140));
            p.drawText(QRectF(from.x() + 6, from.y() - 16, 40, 14), Qt::AlignLeft,
                       QStringLiteral("我"));
        }
    }
}

} // namespace sonavix::practice
