#include "drill/DlgDrill.h"

#include "common/SymbolFont.h"
#include "drill/AnswerButton.h"
#include "drill/SessionChart.h"

#include "mplay/PlayThread.h"
#include "mplay/Recorder.h"
#include "recognise/Recogniser.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace sonavix::drill {
namespace {

constexpr int kPageStart = 0;
constexpr int kPageTrial = 1;
constexpr int kPageSummary = 2;
constexpr int kTabListen = 0;
constexpr int kTabProgress = 2;
// The pause between the two words of "hear both".
constexpr int kBetweenWordsMs = 350;

QString Zh(const std::string& s) {
    return QString::fromStdString(s);
}

QString Percent(int right, int total) {
    return total ? QStringLiteral("%1%").arg(100 * right / total) : QStringLiteral("—");
}

} // namespace

DlgDrill::DlgDrill(const QString& contentDir, const QString& progressFile, QWidget* parent)
    : QWidget(parent, Qt::Window), m_contentDir(contentDir), m_rng(std::random_device{}()) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("辨音练习"));
    BuildUi();

    QString problem;
    std::string error;
    const std::string dir = QFile::encodeName(contentDir).toStdString();
    m_manifest = pairs::LoadManifest(std::filesystem::path(dir) / "manifest.json", &error);
    if (m_manifest)
        pairs::AddFoundVoices(*m_manifest, dir);
    else
        problem = QStringLiteral("找不到练习内容（%1），无法开始练习。").arg(contentDir);

    m_store = progressFile.isEmpty()
                  ? std::make_unique<ProgressStore>()
                  : std::make_unique<ProgressStore>(QFile::encodeName(progressFile).toStdString());
    if (!m_store->Notice().empty())
        problem += (problem.isEmpty() ? QString() : QStringLiteral("\n")) + Zh(m_store->Notice());
    SetNotice(problem);

    if (m_manifest) {
        for (const pairs::Contrast& c : m_manifest->contrasts) {
            auto* item = new QListWidgetItem(QStringLiteral("%1  %2").arg(Zh(c.title), Zh(c.gloss)),
                                             m_contrasts);
            item->setData(Qt::UserRole, Zh(c.id));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    }
    RefreshProgress();
    UpdateShortcuts();
}

DlgDrill::~DlgDrill() {
    // The recorder's callback and the recogniser's worker post back to this window: both end
    // before it goes.
    m_recorder.reset();
    if (m_worker.joinable())
        m_worker.join();
}

void DlgDrill::BuildUi() {
    auto* root = new QVBoxLayout(this);
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("notice"));
    m_notice->setWordWrap(true);
    m_notice->setStyleSheet(QStringLiteral("QLabel { background: #fff4d6; border: 1px solid "
                                           "#e0b84c; padding: 6px; color: #5a4100; }"));
    m_notice->hide();
    root->addWidget(m_notice);

    auto* splitter = new QSplitter(this);
    root->addWidget(splitter, 1);

    auto* left = new QWidget(splitter);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(
        new QLabel(QStringLiteral("练习哪些对比音（不选即“自动”：常错的多练）"), left));
    m_contrasts = new QListWidget(left);
    m_contrasts->setObjectName(QStringLiteral("contrasts"));
    m_contrasts->setFocusPolicy(Qt::NoFocus);
    // The longer hints wrap rather than hide behind a sideways scroll bar.
    m_contrasts->setWordWrap(true);
    m_contrasts->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_contrasts->setResizeMode(QListView::Adjust);
    leftLayout->addWidget(m_contrasts, 1);
    auto* clear = new QPushButton(QStringLiteral("自动"), left);
    clear->setObjectName(QStringLiteral("btnAuto"));
    clear->setFocusPolicy(Qt::NoFocus);
    leftLayout->addWidget(clear);
    connect(clear, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < m_contrasts->count(); ++i)
            m_contrasts->item(i)->setCheckState(Qt::Unchecked);
    });

    m_tabs = new QTabWidget(splitter);
    m_tabs->setFocusPolicy(Qt::NoFocus);
    splitter->setStretchFactor(1, 3);
    const auto button = [](const QString& text, const char* name, QWidget* parent) {
        auto* b = new QPushButton(text, parent);
        b->setObjectName(QLatin1String(name));
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };

    // Listening: a start page, the trial and the round's summary.
    m_listenPages = new QStackedWidget;
    m_tabs->addTab(m_listenPages, QStringLiteral("听辨"));
    {
        auto* page = new QWidget;
        auto* l = new QVBoxLayout(page);
        auto* intro =
            new QLabel(QStringLiteral("每轮 20 题：听一个词，选出听到的是哪一个。\n"
                                      "按 1 或 2 作答，空格键重听，B 两个都听，回车下一题。"),
                       page);
        intro->setAlignment(Qt::AlignCenter);
        l->addStretch();
        l->addWidget(intro);
        auto* start = button(QStringLiteral("开始一轮（回车）"), "btnStart", page);
        l->addWidget(start, 0, Qt::AlignCenter);
        l->addStretch();
        connect(start, &QPushButton::clicked, this, &DlgDrill::StartRound);
        m_listenPages->addWidget(page);
    }
    {
        auto* page = new QWidget;
        auto* l = new QVBoxLayout(page);
        m_trialTitle = new QLabel(page);
        m_trialTitle->setObjectName(QStringLiteral("trialTitle"));
        auto* top = new QHBoxLayout;
        top->addWidget(m_trialTitle, 1);
        auto* replay = button(QStringLiteral("重听（空格）"), "btnReplay", page);
        top->addWidget(replay);
        l->addLayout(top);
        auto* answers = new QHBoxLayout;
        for (int i = 0; i < 2; ++i) {
            m_answer[i] = new AnswerButton(i + 1, page);
            m_answer[i]->setObjectName(i == 0 ? QStringLiteral("btnAnswer1")
                                              : QStringLiteral("btnAnswer2"));
            answers->addWidget(m_answer[i]);
            connect(m_answer[i], &QPushButton::clicked, this, [this, i] { Answer(i == 1); });
        }
        l->addLayout(answers, 1);
        m_feedback = new QLabel(page);
        m_feedback->setObjectName(QStringLiteral("feedback"));
        m_feedback->setAlignment(Qt::AlignCenter);
        m_feedback->setMinimumHeight(36);
        QFont big = m_feedback->font();
        big.setPointSizeF(big.pointSizeF() * 1.3);
        m_feedback->setFont(big);
        l->addWidget(m_feedback);
        auto* bottom = new QHBoxLayout;
        m_btnHearBoth = button(QStringLiteral("两个都听（B）"), "btnHearBoth", page);
        m_btnNext = button(QStringLiteral("下一题（回车）"), "btnNext", page);
        bottom->addStretch();
        bottom->addWidget(m_btnHearBoth);
        bottom->addWidget(m_btnNext);
        bottom->addStretch();
        l->addLayout(bottom);
        connect(replay, &QPushButton::clicked, this, &DlgDrill::Replay);
        connect(m_btnHearBoth, &QPushButton::clicked, this, &DlgDrill::HearBoth);
        connect(m_btnNext, &QPushButton::clicked, this, &DlgDrill::Next);
        m_listenPages->addWidget(page);
    }
    {
        auto* page = new QWidget;
        auto* l = new QVBoxLayout(page);
        m_summaryTitle = new QLabel(page);
        m_summaryTitle->setObjectName(QStringLiteral("summaryTitle"));
        QFont big = m_summaryTitle->font();
        big.setPointSizeF(big.pointSizeF() * 1.3);
        m_summaryTitle->setFont(big);
        l->addWidget(m_summaryTitle);
        m_summaryTable = new QTableWidget(0, 3, page);
        m_summaryTable->setObjectName(QStringLiteral("summaryTable"));
        m_summaryTable->setHorizontalHeaderLabels(
            {QStringLiteral("对比音"), QStringLiteral("答对"), QStringLiteral("正确率")});
        m_summaryTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        m_summaryTable->verticalHeader()->hide();
        m_summaryTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_summaryTable->setFocusPolicy(Qt::NoFocus);
        l->addWidget(m_summaryTable, 1);
        auto* row = new QHBoxLayout;
        auto* again = button(QStringLiteral("再来一轮（回车）"), "btnAgain", page);
        auto* progress = button(QStringLiteral("查看进度"), "btnShowProgress", page);
        row->addStretch();
        row->addWidget(again);
        row->addWidget(progress);
        l->addLayout(row);
        connect(again, &QPushButton::clicked, this, &DlgDrill::StartRound);
        connect(progress, &QPushButton::clicked, this, &DlgDrill::ShowProgress);
        m_listenPages->addWidget(page);
    }

    // Speaking.
    {
        auto* page = new QWidget;
        auto* l = new QVBoxLayout(page);
        l->addWidget(
            new QLabel(QStringLiteral("请读出下面的词，Sonavix 会判断听起来像哪一个。"), page));
        m_speakWord = new QLabel(page);
        m_speakWord->setObjectName(QStringLiteral("speakWord"));
        QFont wordFont = m_speakWord->font();
        wordFont.setPixelSize(40);
        wordFont.setBold(true);
        m_speakWord->setFont(wordFont);
        m_speakCodes = new QLabel(page);
        m_speakCodes->setFont(SymbolFont(32));
        m_speakGloss = new QLabel(page);
        QFont glossFont = m_speakGloss->font();
        glossFont.setPixelSize(18); // as on the listening drill's answers
        m_speakGloss->setFont(glossFont);
        l->addStretch(); // the word and its verdict in the middle, the buttons at the foot
        for (QLabel* label : {m_speakWord, m_speakCodes, m_speakGloss}) {
            label->setAlignment(Qt::AlignCenter);
            l->addWidget(label);
        }
        m_speakStatus = new QLabel(page);
        m_speakStatus->setObjectName(QStringLiteral("speakStatus"));
        m_speakStatus->setAlignment(Qt::AlignCenter);
        m_speakResult = new QLabel(page);
        m_speakResult->setObjectName(QStringLiteral("speakResult"));
        m_speakResult->setAlignment(Qt::AlignCenter);
        QFont big = m_speakResult->font();
        big.setPixelSize(28);
        big.setBold(true);
        m_speakResult->setFont(big);
        l->addWidget(m_speakStatus);
        l->addWidget(m_speakResult);
        l->addStretch();
        auto* row = new QHBoxLayout;
        m_btnRecord = button(QStringLiteral("录音（R）"), "btnRecord", page);
        auto* model = button(QStringLiteral("听示范（M）"), "btnModel", page);
        m_btnOwn = button(QStringLiteral("听自己（P）"), "btnOwn", page);
        auto* next = button(QStringLiteral("换一个词（N）"), "btnNextWord", page);
        auto* practise = button(QStringLiteral("到跟读练习里看图（G）"), "btnPractise", page);
        m_btnOwn->setEnabled(false);
        for (QPushButton* b : {m_btnRecord, model, m_btnOwn, next, practise})
            row->addWidget(b);
        l->addLayout(row);
        connect(m_btnRecord, &QPushButton::clicked, this, &DlgDrill::ToggleRecording);
        connect(model, &QPushButton::clicked, this, &DlgDrill::PlayModel);
        connect(m_btnOwn, &QPushButton::clicked, this, &DlgDrill::PlayOwn);
        connect(next, &QPushButton::clicked, this, &DlgDrill::NextSpeakWord);
        connect(practise, &QPushButton::clicked, this, &DlgDrill::PractiseSpeakWord);
        m_tabs->addTab(page, QStringLiteral("跟读"));
    }

    // Progress.
    {
        auto* page = new QWidget;
        auto* l = new QVBoxLayout(page);
        m_progressTable = new QTableWidget(0, 5, page);
        m_progressTable->setObjectName(QStringLiteral("progressTable"));
        m_progressTable->setHorizontalHeaderLabels(
            {QStringLiteral("对比音"), QStringLiteral("熟练度"), QStringLiteral("练习次数"),
             QStringLiteral("正确率"), QStringLiteral("最近各轮")});
        // The numbers take what they need and the contrast's hint the rest, on as many lines
        // as it needs.
        m_progressTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column <= 3; ++column)
            m_progressTable->horizontalHeader()->setSectionResizeMode(
                column, QHeaderView::ResizeToContents);
        m_progressTable->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        m_progressTable->setWordWrap(true);
        m_progressTable->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Fixed);
        m_progressTable->setColumnWidth(4, 160);
        m_progressTable->verticalHeader()->hide();
        m_progressTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_progressTable->setItemDelegateForColumn(4, new SessionChartDelegate(m_progressTable));
        l->addWidget(m_progressTable, 1);
        l->addWidget(new QLabel(QStringLiteral("最弱的五组（点一下就练这一组）："), page));
        m_weakest = new QWidget(page);
        m_weakest->setObjectName(QStringLiteral("weakest"));
        new QHBoxLayout(m_weakest);
        l->addWidget(m_weakest);
        m_tabs->addTab(page, QStringLiteral("进度"));
    }

    // Keys: window-wide, each live only where it means something.
    const auto key = [this](QKeySequence seq, auto slot) {
        auto* s = new QShortcut(seq, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, slot);
        m_trialKeys.push_back(s);
        return s;
    };
    key(Qt::Key_1, [this] { Answer(false); });
    key(Qt::Key_2, [this] { Answer(true); });
    key(Qt::Key_Space, [this] { Replay(); });
    key(Qt::Key_B, [this] { HearBoth(); });
    key(Qt::Key_Return, [this] {
        if (m_listenPages->currentIndex() == kPageTrial)
            Next();
        else
            StartRound();
    });
    key(Qt::Key_Enter, [this] {
        if (m_listenPages->currentIndex() == kPageTrial)
            Next();
        else
            StartRound();
    });
    key(Qt::Key_R, [this] { ToggleRecording(); });
    key(Qt::Key_M, [this] { PlayModel(); });
    key(Qt::Key_P, [this] { PlayOwn(); });
    key(Qt::Key_N, [this] { NextSpeakWord(); });
    key(Qt::Key_G, [this] { PractiseSpeakWord(); });
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab == 1 && !m_speakPair)
            NextSpeakWord();
        if (tab == kTabProgress)
            RefreshProgress();
        UpdateShortcuts();
    });

    m_secondWord.setSingleShot(true);
    connect(&m_secondWord, &QTimer::timeout, this,
            [this] { mplay::StartPlayWorker(m_secondPath, 1.0); });
    m_meter.setInterval(100);
    connect(&m_meter, &QTimer::timeout, this, [this] {
        if (m_recorder)
            m_speakStatus->setText(
                QStringLiteral("正在录音…… 音量 %1")
                    .arg(QString(int(m_recorder->CurrentLevel().peak * 20), QChar(0x2588))));
    });
    resize(900, 560);
}

void DlgDrill::UpdateShortcuts() {
    const int tab = m_tabs->currentIndex();
    const int page = m_listenPages->currentIndex();
    const bool listening = tab == kTabListen;
    const bool inTrial = listening && page == kPageTrial && m_round && !m_round->Finished();
    const bool answered = inTrial && m_round->CurrentTrial()->answered;
    // 1, 2, Space, B, Return, Enter, R, M, P, N, G: in the order they were made
    const bool live[] = {inTrial && !answered,
                         inTrial && !answered,
                         inTrial,
                         inTrial,
                         listening,
                         listening,
                         tab == 1,
                         tab == 1,
                         tab == 1,
                         tab == 1,
                         tab == 1};
    for (size_t i = 0; i < m_trialKeys.size() && i < std::size(live); ++i)
        m_trialKeys[i]->setEnabled(live[i]);
    m_btnNext->setEnabled(answered);
    m_btnHearBoth->setEnabled(m_feedbackTrial != nullptr);
    for (AnswerButton* b : m_answer)
        b->setEnabled(inTrial && !answered);
}

void DlgDrill::SetNotice(const QString& text) {
    m_notice->setText(text);
    m_notice->setVisible(!text.isEmpty());
}

QString DlgDrill::SymbolText(const std::string& codes) const {
    QString joined = Zh(codes);
    joined.remove(QLatin1Char(' '));
    return joined;
}

std::vector<std::string> DlgDrill::Selected() const {
    std::vector<std::string> ids;
    for (int i = 0; i < m_contrasts->count(); ++i)
        if (m_contrasts->item(i)->checkState() == Qt::Checked)
            ids.push_back(m_contrasts->item(i)->data(Qt::UserRole).toString().toStdString());
    return ids;
}

std::vector<std::string> DlgDrill::ContrastsForRound(int count) {
    const std::vector<std::string> chosen = Selected();
    if (!chosen.empty()) {
        std::vector<std::string> out;
        for (int i = 0; i < count; ++i)
            out.push_back(chosen[size_t(i) % chosen.size()]);
        std::shuffle(out.begin(), out.end(), m_rng);
        return out;
    }
    std::vector<std::string> all;
    for (const pairs::Contrast& c : m_manifest->contrasts)
        all.push_back(c.id);
    return AutoRound(all, m_stats, count, m_rng);
}

void DlgDrill::StartRound() {
    if (!m_manifest)
        return;
    StartRoundOf(ContrastsForRound(kRoundLength));
}

void DlgDrill::StartRoundOf(const std::vector<std::string>& contrasts) {
    if (!m_manifest)
        return;
    std::vector<std::string> list = contrasts;
    if (list.size() < size_t(kRoundLength) && !list.empty()) {
        // A round of one contrast (from the progress view) repeats it.
        const std::vector<std::string> base = list;
        while (list.size() < size_t(kRoundLength))
            list.push_back(base[list.size() % base.size()]);
    }
    m_round = std::make_unique<ListeningRound>(*m_manifest, list, m_rng, m_lastVoice);
    if (m_round->Trials().empty()) {
        SetNotice(QStringLiteral("所选的对比音没有可播放的录音。"));
        m_round.reset();
        return;
    }
    m_session = m_store->StartSession(DrillKind::Listen);
    m_feedbackTrial = nullptr;
    m_tabs->setCurrentIndex(kTabListen);
    m_listenPages->setCurrentIndex(kPageTrial);
    ShowTrial();
}

void DlgDrill::ShowTrial() {
    const RoundTrial* t = m_round ? m_round->CurrentTrial() : nullptr;
    if (!t) {
        ShowSummary();
        return;
    }
    const pairs::Contrast* contrast = m_manifest->FindContrast(t->contrast);
    m_trialTitle->setText(QStringLiteral("第 %1 / %2 题    %3    听到的是哪个词？")
                              .arg(m_round->Current() + 1)
                              .arg(m_round->Trials().size())
                              .arg(contrast ? Zh(contrast->title) : QString()));
    for (int i = 0; i < 2; ++i) {
        const std::string& text = i == 0 ? t->pair->a : t->pair->b;
        const pairs::Word* w = m_manifest->Find(text);
        m_answer[i]->SetWord(Zh(text), w ? SymbolText(w->codes) : QString(),
                             w ? Zh(w->gloss) : QString());
        m_answer[i]->SetMark(AnswerButton::Mark::None);
    }
    UpdateShortcuts();
    Play(t->Played(), t->voice);
    m_lastVoice = t->voice;
}

void DlgDrill::Play(const std::string& word, const std::string& voice) {
    m_secondWord.stop();
    const pairs::Word* w = m_manifest ? m_manifest->Find(word) : nullptr;
    const pairs::Recording* r = w ? w->In(voice) : nullptr;
    if (!r) {
        SetNotice(QStringLiteral("找不到 %1 的录音。").arg(Zh(word)));
        return;
    }
    m_sinceSound.start();
    mplay::StartPlayWorker(
        QFile::encodeName(m_contentDir + QLatin1Char('/') + Zh(r->file)).toStdString(), 1.0);
}

void DlgDrill::Answer(bool choseB) {
    if (!m_round || m_round->Finished() || m_round->CurrentTrial()->answered)
        return;
    const int ms = m_sinceSound.isValid() ? int(m_sinceSound.elapsed()) : 0;
    const bool right = m_round->Answer(choseB, ms);
    const RoundTrial& t = *m_round->CurrentTrial();
    m_feedbackTrial = &t;

    Trial stored;
    stored.timeMs = NowMs();
    stored.session = m_session;
    stored.drill = DrillKind::Listen;
    stored.contrast = t.contrast;
    stored.word = t.Played();
    stored.voice = t.voice;
    stored.answer = t.Chosen();
    stored.correct = right;
    stored.responseMs = ms;
    if (!m_store->Add(stored))
        SetNotice(Zh(m_store->Notice()));

    m_answer[t.playB ? 1 : 0]->SetMark(AnswerButton::Mark::Right);
    if (!right)
        m_answer[choseB ? 1 : 0]->SetMark(AnswerButton::Mark::Wrong);
    if (right) {
        m_feedback->setStyleSheet(QStringLiteral("color: #1a7f37;"));
        m_feedback->setText(QStringLiteral("✔ 对了：%1").arg(Zh(t.Played())));
        // A right answer goes straight on: the next word sounds at once.
        m_round->Advance();
        ShowTrial();
        return;
    }
    m_feedback->setStyleSheet(QStringLiteral("color: #b3261e;"));
    m_feedback->setText(QStringLiteral("✘ 不对：听到的是 %1，你选了 %2。按 B 两个都听。")
                            .arg(Zh(t.Played()), Zh(t.Chosen())));
    UpdateShortcuts();
}

void DlgDrill::Replay() {
    if (const RoundTrial* t = m_round ? m_round->CurrentTrial() : nullptr)
        Play(t->Played(), t->voice);
}

void DlgDrill::HearBoth() {
    const RoundTrial* t = m_feedbackTrial;
    if (!t || !m_manifest)
        return;
    const pairs::Word* a = m_manifest->Find(t->pair->a);
    const pairs::Word* b = m_manifest->Find(t->pair->b);
    const pairs::Recording* ra = a ? a->In(t->voice) : nullptr;
    const pairs::Recording* rb = b ? b->In(t->voice) : nullptr;
    if (!ra || !rb)
        return;
    Play(t->pair->a, t->voice);
    m_secondPath = QFile::encodeName(m_contentDir + QLatin1Char('/') + Zh(rb->file)).toStdString();
    m_secondWord.start(int(ra->duration * 1000) + kBetweenWordsMs);
}

void DlgDrill::Next() {
    if (!m_round || m_round->Finished() || !m_round->CurrentTrial()->answered)
        return;
    m_feedback->clear();
    m_round->Advance();
    ShowTrial();
}

void DlgDrill::ShowSummary() {
    m_stats = StatsFrom(m_store->History());
    const RoundSummary s = m_round->Summary();
    m_summaryTitle->setText(QStringLiteral("本轮答对 %1 / %2（%3），平均反应时间 %4 秒")
                                .arg(s.right)
                                .arg(s.total)
                                .arg(Percent(s.right, s.total))
                                .arg(s.meanResponseMs / 1000.0, 0, 'f', 2));
    m_summaryTable->setRowCount(int(s.perContrast.size()));
    int row = 0;
    for (const auto& [id, c] : s.perContrast) {
        const pairs::Contrast* contrast = m_manifest->FindContrast(id);
        m_summaryTable->setItem(row, 0,
                                new QTableWidgetItem(contrast ? Zh(contrast->title) +
                                                                    QStringLiteral("  ") +
                                                                    Zh(contrast->gloss)
                                                              : Zh(id)));
        m_summaryTable->setItem(
            row, 1, new QTableWidgetItem(QStringLiteral("%1 / %2").arg(c.right).arg(c.total)));
        m_summaryTable->setItem(row, 2, new QTableWidgetItem(Percent(c.right, c.total)));
        ++row;
    }
    m_feedbackTrial = nullptr;
    m_feedback->clear();
    m_listenPages->setCurrentIndex(kPageSummary);
    RefreshProgress();
    UpdateShortcuts();
}

void DlgDrill::ShowProgress() {
    m_tabs->setCurrentIndex(kTabProgress);
}

void DlgDrill::RefreshProgress() {
    m_stats = StatsFrom(m_store->History());
    if (!m_manifest)
        return;
    m_progressTable->setRowCount(int(m_manifest->contrasts.size()));
    int row = 0;
    for (const pairs::Contrast& c : m_manifest->contrasts) {
        auto it = m_stats.find(c.id);
        const ContrastStats none;
        const ContrastStats& s = it == m_stats.end() ? none : it->second;
        m_progressTable->setItem(
            row, 0, new QTableWidgetItem(Zh(c.title) + QStringLiteral("  ") + Zh(c.gloss)));
        m_progressTable->setItem(
            row, 1,
            new QTableWidgetItem(s.box == 0 ? QStringLiteral("未练")
                                            : QStringLiteral("%1 / %2").arg(s.box).arg(kTopBox)));
        m_progressTable->setItem(row, 2, new QTableWidgetItem(QString::number(s.trials)));
        m_progressTable->setItem(row, 3, new QTableWidgetItem(Percent(s.right, s.trials)));
        QVariantList points;
        for (double a : s.sessionAccuracy)
            points.append(a);
        auto* chart = new QTableWidgetItem;
        chart->setData(Qt::UserRole, points);
        m_progressTable->setItem(row, 4, chart);
        ++row;
    }

    QLayout* layout = m_weakest->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const std::vector<std::string> weakest = Weakest(m_stats, 5);
    if (weakest.empty())
        layout->addWidget(new QLabel(QStringLiteral("还没有练习记录。"), m_weakest));
    for (const std::string& id : weakest) {
        const pairs::Contrast* c = m_manifest->FindContrast(id);
        if (!c)
            continue;
        auto* b = new QPushButton(Zh(c->title), m_weakest);
        b->setObjectName(QStringLiteral("weak:") + Zh(id));
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, [this, id] { StartRoundOf({id}); });
        layout->addWidget(b);
    }
    static_cast<QHBoxLayout*>(layout)->addStretch();
}

// Speaking.

void DlgDrill::NextSpeakWord() {
    if (!m_manifest || m_recognising || (m_recorder && m_recorder->Active()))
        return;
    const std::vector<std::string> ids = ContrastsForRound(1);
    const pairs::Contrast* c = ids.empty() ? nullptr : m_manifest->FindContrast(ids.front());
    if (!c || c->pairs.empty())
        return;
    m_speakContrast = c->id;
    m_speakPair = &c->pairs[std::uniform_int_distribution<size_t>(0, c->pairs.size() - 1)(m_rng)];
    m_speakB = std::bernoulli_distribution(0.5)(m_rng);
    m_speakVoice = PickVoice(m_speakPair->voices, m_speakVoice, m_rng);
    const std::string& text = m_speakB ? m_speakPair->b : m_speakPair->a;
    const pairs::Word* w = m_manifest->Find(text);
    m_speakWord->setText(Zh(text));
    m_speakCodes->setText(w ? SymbolText(w->codes) : QString());
    m_speakGloss->setText(
        QStringLiteral("%1    （%2）").arg(w ? Zh(w->gloss) : QString(), Zh(c->title)));
    m_speakStatus->setText(QStringLiteral("按“录音”或 R 键，然后读出这个词。"));
    m_speakResult->clear();
    m_ownSamples.clear();
    m_btnOwn->setEnabled(false);
}

void DlgDrill::PlayModel() {
    if (m_speakPair)
        Play(m_speakB ? m_speakPair->b : m_speakPair->a, m_speakVoice);
}

void DlgDrill::PractiseSpeakWord() {
    if (!m_speakPair)
        return;
    const pairs::Contrast* c = m_manifest->FindContrast(m_speakContrast);
    const std::string& text = m_speakB ? m_speakPair->b : m_speakPair->a;
    const pairs::Word* w = m_manifest->Find(text);
    const pairs::Recording* r = w ? w->In(m_speakVoice) : nullptr;
    if (!c || !r)
        return;
    emit practiseRequested(Zh(text), m_contentDir + QLatin1Char('/') + Zh(r->file),
                           Zh(m_speakB ? c->soundB : c->soundA));
}

void DlgDrill::PlayOwn() {
    if (!m_ownSamples.empty())
        mplay::StartSamplesWorker(m_ownSamples, mplay::Recorder::kSampleRate, 1.0);
}

void DlgDrill::ToggleRecording() {
    if (!m_speakPair || m_recognising)
        return;
    if (m_recorder && m_recorder->Active()) {
        m_recorder->Stop();
        return;
    }
    if (!m_recorder)
        m_recorder = std::make_unique<mplay::Recorder>();
    m_speakResult->clear();
    m_btnRecord->setText(QStringLiteral("停止（R）"));
    m_meter.start();
    QPointer<DlgDrill> self(this);
    mplay::RecordOptions options;
    options.maxLength = std::chrono::milliseconds(4000);
    m_recorder->Start(std::move(options), [self](mplay::Recording recording) {
        // On the recorder's thread: hand the result over to the window's.
        QMetaObject::invokeMethod(
            self.data(),
            [self, r = std::move(recording)]() mutable {
                if (self)
                    self->OnRecorded(std::move(r));
            },
            Qt::QueuedConnection);
    });
}

void DlgDrill::OnRecorded(mplay::Recording recording) {
    m_meter.stop();
    m_btnRecord->setText(QStringLiteral("录音（R）"));
    switch (recording.error) {
    case mplay::RecordError::None:
    case mplay::RecordError::DeviceLost:
        break;
    case mplay::RecordError::NoDevice:
        m_speakStatus->setText(QStringLiteral("找不到麦克风，请接上后再试。"));
        return;
    case mplay::RecordError::PermissionDenied:
        m_speakStatus->setText(QStringLiteral("系统不允许使用麦克风。"));
        return;
    case mplay::RecordError::DeviceBusy:
        m_speakStatus->setText(QStringLiteral("麦克风正被别的程序占用。"));
        return;
    case mplay::RecordError::OpenFailed:
        m_speakStatus->setText(QStringLiteral("无法打开麦克风。"));
        return;
    }
    if (recording.reason == mplay::StopReason::Superseded ||
        recording.reason == mplay::StopReason::NotStarted) {
        m_speakStatus->clear();
        return;
    }
    if (!recording.heardSpeech || recording.samples.empty()) {
        m_speakStatus->setText(QStringLiteral("没有听到声音，请靠近麦克风再说一次。"));
        return;
    }
    m_ownSamples = recording.samples;
    m_btnOwn->setEnabled(true);

    m_speakStatus->setText(QStringLiteral("正在识别……"));
    m_recognising = true;
    if (m_worker.joinable())
        m_worker.join();
    speech::PairWord a{m_speakPair->a, {}};
    speech::PairWord b{m_speakPair->b, {}};
    if (const pairs::Word* w = m_manifest->Find(a.word))
        a.phones = w->phones;
    if (const pairs::Word* w = m_manifest->Find(b.word))
        b.phones = w->phones;
    QPointer<DlgDrill> self(this);
    m_worker = std::thread([this, self, a, b, samples = std::move(recording.samples)] {
        std::string error;
        if (!m_recogniser)
            m_recogniser = speech::Recogniser::Create({}, &error);
        speech::PairResult result;
        if (m_recogniser)
            result = m_recogniser->Decide(samples, a, b);
        if (error.empty())
            error = result.error;
        QMetaObject::invokeMethod(
            self.data(),
            [self, result, error] {
                if (self)
                    self->OnRecognised(result, error);
            },
            Qt::QueuedConnection);
    });
}

void DlgDrill::OnRecognised(const speech::PairResult& result, const std::string& error) {
    m_recognising = false;
    if (!m_recogniser || !error.empty()) {
        m_speakStatus->setText(QStringLiteral("无法识别：识别器没有准备好。"));
        return;
    }
    const std::string& target = m_speakB ? m_speakPair->b : m_speakPair->a;
    Trial stored;
    stored.timeMs = NowMs();
    if (m_speakSession == 0)
        m_speakSession = m_store->StartSession(DrillKind::Speak);
    stored.session = m_speakSession;
    stored.drill = DrillKind::Speak;
    stored.contrast = m_speakContrast;
    stored.word = target;
    if (result.verdict == speech::Verdict::NotSure) {
        m_speakResult->setStyleSheet(QStringLiteral("color: #8a6d00;"));
        m_speakResult->setText(QStringLiteral("没听清（不确定）"));
        m_speakStatus->setText(QStringLiteral("两个词听起来差不多，请再清楚地说一次。"));
        stored.answer = "";
    } else {
        const bool heardB = result.verdict == speech::Verdict::B;
        const std::string& heard = heardB ? m_speakPair->b : m_speakPair->a;
        stored.answer = heard;
        stored.correct = heardB == m_speakB;
        m_speakResult->setStyleSheet(*stored.correct ? QStringLiteral("color: #1a7f37;")
                                                     : QStringLiteral("color: #b3261e;"));
        m_speakResult->setText(*stored.correct ? QStringLiteral("✔ 对") : QStringLiteral("✘ 不对"));
        m_speakStatus->setText(QStringLiteral("听起来像 %1。").arg(Zh(heard)));
    }
    if (!m_store->Add(stored))
        SetNotice(Zh(m_store->Notice()));
}

} // namespace sonavix::drill
