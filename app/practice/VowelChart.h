#pragma once
// The vowel chart a learner reads: F2 from right to left and F1 downwards, both in Bark, so the
// chart stands as the mouth does (front vowels left, open vowels low). The symbol's target region
// for the learner's voice group, the learner's last attempts (older ones fainter) and, for a
// diphthong, arrows from the onset to the end of the glide.
#include "practice/VowelTargets.h"

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

namespace sonavix::practice {

// One attempt's vowel: F1/F2 (Hz) where it starts and where it ends (the same for a monophthong);
// nullopt where no formants were found.
struct ChartAttempt {
    std::optional<QPointF> onset, offset; // x = F1, y = F2
};

class VowelChart : public QWidget {
    Q_OBJECT

  public:
    explicit VowelChart(QWidget* parent = nullptr);

    // All the group's targets (drawn faint, for orientation) and the symbol's own, emphasised.
    void SetTargets(const VowelTargets* targets, speech::Voice voice, int symbol,
                    const QString& label);
    // Newest first; at most five are drawn.
    void SetAttempts(std::vector<ChartAttempt> attempts);
    const std::vector<ChartAttempt>& Attempts() const { return m_attempts; }

    QSize sizeHint() const override { return {320, 300}; }
    QSize minimumSizeHint() const override { return {200, 180}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPointF Place(const QPointF& f1f2) const;
    QRectF Plot() const;

    const VowelTargets* m_targets = nullptr;
    speech::Voice m_voice = speech::Voice::Male;
    int m_symbol = -1;
    QString m_label;
    std::vector<ChartAttempt> m_attempts;
};

// F1/F2 of an attempt for the chart: the midpoint of a monophthong, 20 % and 80 % of a diphthong.
ChartAttempt ChartPointsOf(const speech::Analysis& analysis, bool diphthong);

} // namespace sonavix::practice
