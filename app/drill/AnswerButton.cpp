#include "drill/AnswerButton.h"

#include "common/SymbolFont.h"

#include <QLabel>
#include <QVBoxLayout>

namespace sonavix::drill {

AnswerButton::AnswerButton(int key, QWidget* parent) : QPushButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = new QVBoxLayout(this);
    auto* keyLabel = new QLabel(QString::number(key), this);
    m_word = new QLabel(this);
    m_codes = new QLabel(this);
    m_gloss = new QLabel(this);
    QFont keyFont = keyLabel->font();
    keyFont.setPixelSize(14);
    keyLabel->setFont(keyFont);
    keyLabel->setStyleSheet(QStringLiteral("color: #777;"));
    QFont wordFont = m_word->font();
    wordFont.setPixelSize(36);
    wordFont.setBold(true);
    m_word->setFont(wordFont);
    m_codes->setFont(SymbolFont(30));
    QFont glossFont = m_gloss->font();
    glossFont.setPixelSize(18);
    m_gloss->setFont(glossFont);
    layout->addWidget(keyLabel, 0, Qt::AlignLeft);
    for (QLabel* label : {m_word, m_codes, m_gloss}) {
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    // Clicks reach the button through its labels.
    for (QLabel* label : {keyLabel, m_word, m_codes, m_gloss})
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void AnswerButton::SetWord(const QString& word, const QString& codes, const QString& gloss) {
    m_word->setText(word);
    m_codes->setText(codes);
    m_gloss->setText(gloss);
}

QString AnswerButton::Word() const {
    return m_word->text();
}

void AnswerButton::SetMark(Mark mark) {
    // A marked button is disabled (answered), and that is when the learner reads both words
    // against their marks: the words keep their full colour instead of the disabled grey.
    const QString words = QStringLiteral(" QLabel { color: %1; }")
                              .arg(palette().color(QPalette::Active, QPalette::ButtonText).name());
    switch (mark) {
    case Mark::None:
        setStyleSheet(QString());
        break;
    case Mark::Right:
        setStyleSheet(QStringLiteral("QPushButton { background: #d7f5dd; border: 2px solid #1a7f37;"
                                     " border-radius: 6px; }") +
                      words);
        break;
    case Mark::Wrong:
        setStyleSheet(QStringLiteral("QPushButton { background: #fbdcda; border: 2px solid #b3261e;"
                                     " border-radius: 6px; }") +
                      words);
        break;
    }
}

QSize AnswerButton::sizeHint() const {
    return layout() ? layout()->sizeHint().expandedTo(QSize(200, 160)) : QSize(200, 160);
}

} // namespace sonavix::drill
