#pragma once
// One recording drawn for a learner: the waveform, a wideband spectrogram (0-5 kHz) with the F1
// and F2 tracks over its voiced parts, and the pitch contour below. Several pictures share one
// time scale, each shifted so that its speech onset falls at the same place.
#include "practice/AnalysedSound.h"

#include <QString>
#include <QWidget>

namespace sonavix::practice {

// Seconds around the onset every picture shows: before it, and the whole span.
struct TimeWindow {
    double before = 0.2;
    double length = 1.5;
};

class SoundPicture : public QWidget {
    Q_OBJECT

  public:
    explicit SoundPicture(const QString& caption, QWidget* parent = nullptr);

    void SetSound(SoundPtr sound);
    const SoundPtr& Sound() const { return m_sound; }
    void SetCaption(const QString& caption);
    void SetWindow(TimeWindow window);
    // A time of the sound (s), or negative for no cursor.
    void SetCursor(double seconds);
    double Cursor() const { return m_cursor; }

    QSize sizeHint() const override { return {560, 190}; }
    QSize minimumSizeHint() const override { return {280, 120}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double X(double soundTime) const;

    QString m_caption;
    SoundPtr m_sound;
    TimeWindow m_window;
    double m_cursor = -1.0;
};

// A window that holds every given sound's speech from its onset, and a little of what precedes.
TimeWindow CommonWindow(std::initializer_list<const AnalysedSound*> sounds);

} // namespace sonavix::practice
