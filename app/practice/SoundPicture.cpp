#include "practice/SoundPicture.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace sonavix::practice {
namespace {

constexpr double kTopHz = 5000.0;
constexpr double kPitchFloor = 50.0, kPitchCeiling = 400.0;
constexpr int kMargin = 4;
constexpr int kAxis = 38; // room for the frequency labels left of the panels

const QColor kF1Colour(200, 40, 40);
const QColor kF2Colour(30, 90, 200);
const QColor kPitchColour(20, 130, 60);

} // namespace

TimeWindow CommonWindow(std::initializer_list<const AnalysedSound*> sounds) {
    TimeWindow window;
    double before = 0.1, after = 0.6;
    for (const AnalysedSound* s : sounds) {
        if (!s)
            continue;
        const double anchor = s->Anchor();
        before = std::max(before, std::min(anchor, 0.2));
        const double end = s->analysis.speech ? s->analysis.offset : s->analysis.duration;
        after = std::max(after, std::min(end - anchor + 0.1, s->analysis.duration - anchor));
    }
    window.before = before;
    window.length = before + after;
    return window;
}

SoundPicture::SoundPicture(const QString& caption, QWidget* parent)
    : QWidget(parent), m_caption(caption) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SoundPicture::SetSound(SoundPtr sound) {
    m_sound = std::move(sound);
    m_cursor = -1.0;
    update();
}

void SoundPicture::SetCaption(const QString& caption) {
    m_caption = caption;
    update();
}

void SoundPicture::SetWindow(TimeWindow window) {
    m_window = window;
    update();
}

void SoundPicture::SetCursor(double seconds) {
    if (seconds == m_cursor)
        return;
    m_cursor = seconds;
    update();
}

double SoundPicture::X(double soundTime) const {
    const double anchor = m_sound ? m_sound->Anchor() : 0.0;
    const double t = soundTime - anchor + m_window.before;
    const double width = std::max(1, this->width() - kAxis - kMargin);
    return kAxis + t / std::max(0.05, m_window.length) * width;
}

void SoundPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const int h = height();
    const int right = width() - kMargin;
    const int captionHeight = fontMetrics().height() + 2;
    const QRect wave(kAxis, captionHeight, right - kAxis, (h - captionHeight) * 22 / 100);
    const QRect spec(kAxis, wave.bottom() + 3, right - kAxis, (h - captionHeight) * 52 / 100);
    const QRect pitch(kAxis, spec.bottom() + 3, right - kAxis, h - spec.bottom() - 3 - kMargin);
    p.setPen(palette().text().color());
    p.drawText(QRect(kMargin, 0, width() - 2 * kMargin, captionHeight),
               Qt::AlignLeft | Qt::AlignVCenter, m_caption);
    p.setPen(palette().mid().color());
    for (const QRect& r : {wave, spec, pitch})
        p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(palette().text().color());
    QFont small = font();
    small.setPointSizeF(std::max(6.0, font().pointSizeF() * 0.8));
    p.setFont(small);
    p.drawText(QRect(0, spec.top(), kAxis - 3, 12), Qt::AlignRight | Qt::AlignTop,
               QStringLiteral("5k"));
    p.drawText(QRect(0, spec.bottom() - 12, kAxis - 3, 12), Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("0 Hz"));
    p.drawText(QRect(0, pitch.top(), kAxis - 3, 12), Qt::AlignRight | Qt::AlignTop,
               QStringLiteral("400"));
    p.drawText(QRect(0, pitch.bottom() - 12, kAxis - 3, 12), Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("音高"));
    if (!m_sound) {
        p.drawText(spec, Qt::AlignCenter, QStringLiteral("（还没有录音）"));
        return;
    }
    const AnalysedSound& s = *m_sound;
    const speech::Analysis& a = s.analysis;
    p.setClipRect(QRect(kAxis, 0, right - kAxis, h));

    // Waveform: the extremes of the samples under each column.
    const double rate = s.sound.rate;
    const int mid = wave.center().y();
    const double half = wave.height() / 2.0 - 1;
    p.setPen(palette().text().color());
    for (int x = wave.left(); x <= wave.right(); ++x) {
        const double t0 = (x - X(0.0)) / (X(1.0) - X(0.0));
        const double t1 = (x + 1 - X(0.0)) / (X(1.0) - X(0.0));
        const auto i0 = static_cast<long long>(std::floor(t0 * rate));
        const auto i1 = static_cast<long long>(std::ceil(t1 * rate));
        const long long n = static_cast<long long>(s.sound.samples.size());
        if (i1 <= 0 || i0 >= n)
            continue;
        float lo = 0, hi = 0;
        for (long long i = std::max(0LL, i0); i < std::min(n, i1); ++i) {
            lo = std::min(lo, s.sound.samples[static_cast<size_t>(i)]);
            hi = std::max(hi, s.sound.samples[static_cast<size_t>(i)]);
        }
        p.drawLine(x, mid - static_cast<int>(hi * half), x, mid - static_cast<int>(lo * half));
    }

    // Spectrogram, then the formant tracks over it.
    const speech::Spectrogram& g = a.spectrogram;
    if (!s.spectrogram.isNull() && g.frames > 0) {
        const double shownHz = std::min(kTopHz, g.bins * g.frequencyStep);
        const double x0 = X(g.firstTime - g.timeStep / 2);
        const double x1 = X(g.firstTime + (g.frames - 0.5) * g.timeStep);
        const double yTop = spec.bottom() + 1 - spec.height() * shownHz / kTopHz;
        p.drawImage(QRectF(x0, yTop, x1 - x0, spec.bottom() + 1 - yTop), s.spectrogram);
    }
    auto specY = [&](double hz) { return spec.bottom() + 1 - spec.height() * hz / kTopHz; };
    p.setPen(Qt::NoPen);
    for (const speech::FormantFrame& f : a.formants.frames) {
        for (int k = 0; k < 2; ++k) {
            const double hz = f.formant[k].frequency;
            if (hz <= 0 || hz >= kTopHz)
                continue;
            p.setBrush(k == 0 ? kF1Colour : kF2Colour);
            p.drawEllipse(QPointF(X(f.time), specY(hz)), 1.8, 1.8);
        }
    }

    // Pitch: a line through voiced frames, broken where the voice stops.
    p.setPen(QPen(kPitchColour, 2));
    p.setBrush(Qt::NoBrush);
    auto pitchY = [&](double hz) {
        const double r = std::log(hz / kPitchFloor) / std::log(kPitchCeiling / kPitchFloor);
        return pitch.bottom() - std::clamp(r, 0.0, 1.0) * (pitch.height() - 2);
    };
    QPainterPath contour;
    bool drawing = false;
    for (const speech::PitchFrame& f : a.pitch.frames) {
        if (f.f0 <= 0) {
            drawing = false;
            continue;
        }
        const QPointF point(X(f.time), pitchY(f.f0));
        if (drawing)
            contour.lineTo(point);
        else
            contour.moveTo(point);
        drawing = true;
    }
    p.drawPath(contour);

    // The onset mark and the play cursor.
    p.setPen(QPen(palette().mid().color(), 1, Qt::DashLine));
    const int onsetX = static_cast<int>(X(s.Anchor()));
    p.drawLine(onsetX, wave.top(), onsetX, pitch.bottom());
    if (m_cursor >= 0) {
        p.setPen(QPen(QColor(230, 120, 0), 2));
        const int x = static_cast<int>(X(m_cursor));
        p.drawLine(x, wave.top(), x, pitch.bottom());
    }
}

} // namespace sonavix::practice
