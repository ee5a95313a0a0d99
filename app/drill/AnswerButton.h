#pragma once
// An answer of the listening drill: its key, the word, its transcription in the symbol font and
// its gloss, on one button; marked right or wrong after the answer.
#include <QPushButton>

class QLabel;

namespace sonavix::drill {

class AnswerButton : public QPushButton {
    Q_OBJECT

  public:
    enum class Mark { None, Right, Wrong };

    AnswerButton(int key, QWidget* parent = nullptr);
    void SetWord(const QString& word, const QString& codes, const QString& gloss);
    void SetMark(Mark mark);
    QString Word() const;
    QSize sizeHint() const override;

  private:
    QLabel* m_word = nullptr;
    QLabel* m_codes = nullptr;
    QLabel* m_gloss = nullptr;
};

} // namespace sonavix::drill
