#include "practice/DlgPractice.h"

#include "common/LessonSettings.h"
#include "lesson/SymbolCatalogue.h"
#include "practice/SoundPicture.h"
#include "practice/VowelChart.h"

#include "mplay/PlayThread.h"
#include "mplay/Recorder.h"
#include "speech/Resample.h"
#include "speech/WavFile.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace sonavix::practice {
namespace {

constexpr int kShownAttempts = 5;
constexpr double kCompareGap = 0.4; // s of silence between the model and the attempt
constexpr int kSymbolS = 26, kSymbolTheta = 25, kSymbolSh = 27;
// Attempts below this peak are hard to analyse; at full scale for this share, clipped.
constexpr float kQuietPeak = 0.06f;
constexpr double kClippedShare = 0.001;

const QStringList kVoiceNames = {QStringLiteral("男声"), QStringLiteral("女声"),
                                 QStringLiteral("童声")};

bool IsFricative(int symbol) {
    static const QStringList fricatives = {"f", "θ", "s", "ʃ", "h", "v", "ð", "z", "ʒ"};
    return fricatives.contains(SymbolIpa(symbol));
}

bool IsVoicedConsonant(int symbol) {
    return symbol >= 30; // the last row of the list
}

// A vowel's length is its longest stretch of voicing (a model may say it twice); a consonant's,
// the whole speech.
double SpeechLength(const AnalysedSound& s, bool vowel) {
    if (vowel) {
        double longest = 0.0;
        for (const speech::VoicedSegment& segment : s.analysis.segments)
            longest = std::max(longest, segment.end - segment.start);
        return longest;
    }
    return s.analysis.speech ? s.analysis.offset - s.analysis.onset : 0.0;
}

QString Seconds(double s) {
    return QStringLiteral("%1 秒").arg(s, 0, 'f', 2);
}

QString Kilohertz(double hz) {
    return hz > 0 ? QStringLiteral("%1 kHz").arg(hz / 1000.0, 0, 'f', 1) : QStringLiteral("—");
}

QString Percent(double share) {
    return QStringLiteral("%1 %").arg(std::lround(100.0 * share));
}

QString Row(const QString& name, const QString& model, const QString& mine) {
    return QStringLiteral("<tr><td>%1</td><td align=right>%2</td><td align=right>%3</td></tr>")
        .arg(name, model, mine);
}

std::int64_t NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

DlgPractice::DlgPractice(const ProgramPaths& paths, int symbol, double speed, QWidget* parent)
    : QWidget(parent, Qt::Window), m_paths(paths),
      m_store(QFile::encodeName(paths.LearnerDataDir() + QStringLiteral("attempts")).toStdString()),
      m_speed(speed) {
    setWindowTitle(QStringLiteral("跟读练习"));
    m_haveTargets = m_targets.Load(paths.Data(QStringLiteral("pho/vowels.json")));
    BuildUi();
    const QSize saved = ReadPracticeSize(m_paths);
    resize(saved.isValid() ? saved : QSize(980, 620));
    m_symbol = -1;
    SetSymbol(symbol);
}

DlgPractice::~DlgPractice() {
    // The recorder's thread may still hand a result to this window: end it first.
    m_recorder.reset();
}

void DlgPractice::BuildUi() {
    auto* root = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    m_title = new QLabel(this);
    QFont titleFont = font();
    titleFont.setPointSizeF(font().pointSizeF() * 1.5);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    top->addWidget(m_title);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("练习："), this));
    m_itemChooser = new QComboBox(this);
    m_itemChooser->setObjectName(QStringLiteral("items"));
    m_itemChooser->setMinimumContentsLength(10);
    m_itemChooser->setAccessibleName(QStringLiteral("练习的内容"));
    top->addWidget(m_itemChooser);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("我的声音："), this));
    m_voiceChooser = new QComboBox(this);
    m_voiceChooser->setObjectName(QStringLiteral("voice"));
    m_voiceChooser->addItems(kVoiceNames);
    m_voiceChooser->setCurrentIndex(ReadPracticeVoice(m_paths));
    m_voiceChooser->setAccessibleName(QStringLiteral("我的声音类型，元音图按它选参考范围"));
    top->addWidget(m_voiceChooser);
    top->addStretch();
    root->addLayout(top);

    auto* middle = new QHBoxLayout;
    auto* pictures = new QVBoxLayout;
    m_modelPicture = new SoundPicture(QStringLiteral("示范"), this);
    m_modelPicture->setObjectName(QStringLiteral("model"));
    m_minePicture = new SoundPicture(QStringLiteral("我的"), this);
    m_minePicture->setObjectName(QStringLiteral("mine"));
    pictures->addWidget(m_modelPicture);
    pictures->addWidget(m_minePicture);
    auto* legend = new QLabel(QStringLiteral("<span style='color:#c82828'>●</span> F1　"
                                             "<span style='color:#1e5ac8'>●</span> F2　"
                                             "<span style='color:#14823c'>━</span> 音高　"
                                             "虚线：发音开始（两张图在此对齐）"),
                              this);
    pictures->addWidget(legend);
    middle->addLayout(pictures, 3);

    m_side = new QStackedWidget(this);
    auto* vowelSide = new QWidget(m_side);
    auto* vowelLayout = new QVBoxLayout(vowelSide);
    vowelLayout->setContentsMargins(0, 0, 0, 0);
    m_chart = new VowelChart(vowelSide);
    m_chart->setObjectName(QStringLiteral("chart"));
    m_vowelReadouts = new QLabel(vowelSide);
    m_vowelReadouts->setWordWrap(true);
    vowelLayout->addWidget(m_chart, 1);
    vowelLayout->addWidget(m_vowelReadouts);
    m_consonantReadouts = new QLabel(m_side);
    m_consonantReadouts->setObjectName(QStringLiteral("readouts"));
    m_consonantReadouts->setWordWrap(true);
    m_consonantReadouts->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_side->addWidget(vowelSide);
    m_side->addWidget(m_consonantReadouts);
    middle->addWidget(m_side, 2);
    root->addLayout(middle, 1);

    auto* buttons = new QHBoxLayout;
    m_btnModel = new QPushButton(QStringLiteral("听示范 (M)"), this);
    m_btnRecord = new QPushButton(QStringLiteral("录音 (R)"), this);
    m_level = new QProgressBar(this);
    m_level->setRange(0, 100);
    m_level->setTextVisible(false);
    m_level->setFixedWidth(90);
    m_level->setAccessibleName(QStringLiteral("录音音量"));
    m_btnMine = new QPushButton(QStringLiteral("听我的 (Y)"), this);
    m_btnCompare = new QPushButton(QStringLiteral("对比 (C)"), this);
    m_attemptChooser = new QComboBox(this);
    m_attemptChooser->setObjectName(QStringLiteral("attempts"));
    m_attemptChooser->setAccessibleName(QStringLiteral("选择我的哪一次录音"));
    m_attemptChooser->setMinimumContentsLength(12);
    m_btnDelete = new QPushButton(QStringLiteral("删除我的录音"), this);
    m_btnModel->setObjectName(QStringLiteral("model"));
    m_btnRecord->setObjectName(QStringLiteral("record"));
    m_btnMine->setObjectName(QStringLiteral("mine"));
    m_btnCompare->setObjectName(QStringLiteral("compare"));
    m_btnDelete->setObjectName(QStringLiteral("delete"));
    for (QWidget* w :
         {static_cast<QWidget*>(m_btnModel), static_cast<QWidget*>(m_btnRecord),
          static_cast<QWidget*>(m_level), static_cast<QWidget*>(m_btnMine),
          static_cast<QWidget*>(m_btnCompare), static_cast<QWidget*>(m_attemptChooser)})
        buttons->addWidget(w);
    buttons->addStretch();
    buttons->addWidget(m_btnDelete);
    root->addLayout(buttons);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setWordWrap(true);
    m_message->setAccessibleName(QStringLiteral("提示"));
    root->addWidget(m_message);

    connect(m_itemChooser, &QComboBox::activated, this, &DlgPractice::ChooseItem);
    connect(m_voiceChooser, &QComboBox::activated, this, &DlgPractice::OnVoiceChanged);
    connect(m_attemptChooser, &QComboBox::activated, this, &DlgPractice::ShowAttempt);
    connect(m_btnModel, &QPushButton::clicked, this, &DlgPractice::PlayModel);
    connect(m_btnRecord, &QPushButton::clicked, this, &DlgPractice::ToggleRecording);
    connect(m_btnMine, &QPushButton::clicked, this, &DlgPractice::PlayMine);
    connect(m_btnCompare, &QPushButton::clicked, this, &DlgPractice::Compare);
    connect(m_btnDelete, &QPushButton::clicked, this, &DlgPractice::DeleteAllAttempts);
    const std::pair<Qt::Key, void (DlgPractice::*)()> keys[] = {
        {Qt::Key_M, &DlgPractice::PlayModel},
        {Qt::Key_R, &DlgPractice::ToggleRecording},
        {Qt::Key_Y, &DlgPractice::PlayMine},
        {Qt::Key_C, &DlgPractice::Compare},
    };
    for (const auto& [key, command] : keys)
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, command);

    m_meter.setInterval(50);
    connect(&m_meter, &QTimer::timeout, this, &DlgPractice::ShowLevel);
    m_saveSize.setSingleShot(true);
    m_saveSize.setInterval(500);
    connect(&m_saveSize, &QTimer::timeout, this, [this] { WritePracticeSize(m_paths, size()); });
    m_cursor.setInterval(30);
    connect(&m_cursor, &QTimer::timeout, this, &DlgPractice::MoveCursor);
}

speech::Voice DlgPractice::LearnerVoice() const {
    return static_cast<speech::Voice>(std::clamp(m_voiceChooser->currentIndex(), 0, 2));
}

std::string DlgPractice::ItemKeyStd() const {
    if (m_item < 0 || m_item >= static_cast<int>(m_items.size()))
        return {};
    return m_items[static_cast<size_t>(m_item)].key.toStdString();
}

bool DlgPractice::ChartShown() const {
    return m_chart->isVisibleTo(this);
}

QString DlgPractice::Message() const {
    return m_message->text();
}

void DlgPractice::SetMessage(const QString& text, bool warning) {
    m_message->setStyleSheet(warning ? QStringLiteral("color: #b3261e;") : QString());
    m_message->setText(text);
}

void DlgPractice::SetSymbol(int symbol) {
    if (symbol != m_symbol && !SymbolIpa(symbol).isEmpty())
        ShowSymbol(symbol, nullptr);
}

void DlgPractice::PractiseWord(const QString& word, const QString& recording, const QString& code) {
    const int n = FindSymbol(SymbolCodes(), code);
    PracticeItem item;
    item.key = QStringLiteral("drill-") + word;
    item.title = QStringLiteral("%1（辨音练习）").arg(word);
    item.word = true;
    item.modelFile = recording;
    ShowSymbol(n >= 0 ? n : std::max(m_symbol, 0), &item);
}

void DlgPractice::ShowSymbol(int symbol, const PracticeItem* first) {
    m_symbol = symbol;
    m_title->setText(QStringLiteral("/%1/").arg(SymbolIpa(symbol)));
    m_items = ItemsOf(m_paths, symbol);
    if (first)
        m_items.insert(m_items.begin(), *first);
    m_itemChooser->clear();
    for (const PracticeItem& item : m_items)
        m_itemChooser->addItem(item.title);
    m_side->setCurrentIndex(IsVowelSymbol(symbol) ? 0 : 1);
    if ((symbol == kSymbolTheta || symbol == kSymbolSh) && !m_referenceS)
        m_referenceS = LoadModel(m_paths, kSymbolS, SymbolItem(kSymbolS));
    m_item = 0;
    LoadItem();
}

void DlgPractice::ChooseItem(int index) {
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        return;
    m_item = index;
    m_itemChooser->setCurrentIndex(index);
    LoadItem();
}

void DlgPractice::LoadItem() {
    // A recording of the item left behind is not kept (TakeRecording sees the change).
    if (m_recorder && m_recorder->Active())
        m_recorder->Stop();
    StopCursor();
    SetMessage({});
    m_model = m_items.empty() ? nullptr : LoadModel(m_paths, m_symbol, m_items[m_item]);
    if (!m_model)
        SetMessage(QStringLiteral("示范录音读不出来，但仍可以录音练习。"), true);
    m_modelPicture->SetSound(m_model);
    LoadAttempts();
}

void DlgPractice::LoadAttempts() {
    m_attempts.clear();
    for (const std::string& path : m_store.List(ItemKeyStd())) {
        if (static_cast<int>(m_attempts.size()) == kShownAttempts)
            break;
        // A file that is empty, cut short or not a recording at all is passed over.
        speech::WavReadResult file = speech::ReadWavFile(path);
        if (!file.ok || file.sound.samples.empty())
            continue;
        m_attempts.push_back(
            {QString::fromStdString(path), Analyse(std::move(file.sound), LearnerVoice())});
    }
    RefreshAttemptChooser();
    ShowAttempt(0);
}

void DlgPractice::RefreshAttemptChooser() {
    m_attemptChooser->clear();
    for (size_t i = 0; i < m_attempts.size() && i < kShownAttempts; ++i)
        m_attemptChooser->addItem(i == 0 ? QStringLiteral("最近一次")
                                         : QStringLiteral("前第 %1 次").arg(i + 1));
    m_attemptChooser->setEnabled(!m_attempts.empty());
    m_btnMine->setEnabled(!m_attempts.empty());
    m_btnCompare->setEnabled(!m_attempts.empty() && m_model);
    m_btnModel->setEnabled(static_cast<bool>(m_model));
}

void DlgPractice::ShowAttempt(int index) {
    m_shown = index >= 0 && index < static_cast<int>(m_attempts.size()) ? index : -1;
    if (m_shown >= 0)
        m_attemptChooser->setCurrentIndex(m_shown);
    m_minePicture->SetSound(m_shown >= 0 ? m_attempts[m_shown].sound : nullptr);
    m_minePicture->SetCaption(m_shown <= 0 ? QStringLiteral("我的（最近一次）")
                                           : QStringLiteral("我的（前第 %1 次）").arg(m_shown + 1));
    RefreshAnalysis();
}

void DlgPractice::RefreshAnalysis() {
    const AnalysedSound* mine = m_shown >= 0 ? m_attempts[m_shown].sound.get() : nullptr;
    const TimeWindow window = CommonWindow({m_model.get(), mine});
    m_modelPicture->SetWindow(window);
    m_minePicture->SetWindow(window);
    if (IsVowelSymbol(m_symbol)) {
        const auto target = m_targets.Find(m_symbol, LearnerVoice());
        const bool diphthong = target && target->diphthong;
        m_chart->SetTargets(m_haveTargets ? &m_targets : nullptr, LearnerVoice(), m_symbol,
                            SymbolIpa(m_symbol));
        std::vector<ChartAttempt> points;
        for (const Attempt& a : m_attempts)
            points.push_back(ChartPointsOf(a.sound->analysis, diphthong));
        m_chart->SetAttempts(std::move(points));
    }
    RefreshReadouts();
}

void DlgPractice::RefreshReadouts() {
    const AnalysedSound* mine = m_shown >= 0 ? m_attempts[m_shown].sound.get() : nullptr;
    const AnalysedSound* model = m_model.get();
    const QString none = QStringLiteral("—");
    auto both = [&](auto value) {
        return std::pair{model ? value(*model) : none, mine ? value(*mine) : none};
    };
    QString rows = QStringLiteral("<tr><th></th><th align=right>示范</th>"
                                  "<th align=right>　我的</th></tr>");
    const bool vowel = IsVowelSymbol(m_symbol);
    auto [dModel, dMine] =
        both([vowel](const AnalysedSound& s) { return Seconds(SpeechLength(s, vowel)); });
    rows += Row(QStringLiteral("时长"), dModel, dMine);
    QString advice;
    if (vowel) {
        if (model && mine && SpeechLength(*model, true) > 0) {
            const double ratio = SpeechLength(*mine, true) / SpeechLength(*model, true);
            if (ratio < 0.6)
                advice = QStringLiteral("你的读音比示范短得多。");
            else if (ratio > 1.7)
                advice = QStringLiteral("你的读音比示范长得多。");
        }
        if (!m_haveTargets)
            advice += QStringLiteral("元音参考数据缺失，元音图只显示你的录音。");
        m_vowelReadouts->setText(
            QStringLiteral("<table cellspacing=4>%1</table>%2").arg(rows, advice));
        return;
    }
    auto [vModel, vMine] =
        both([](const AnalysedSound& s) { return Percent(s.analysis.voicedFraction); });
    rows += Row(QStringLiteral("浊音比例（声带振动）"), vModel, vMine);
    if (model && mine) {
        const double gap = mine->analysis.voicedFraction - model->analysis.voicedFraction;
        if (IsVoicedConsonant(m_symbol) && gap < -0.3)
            advice += QStringLiteral("示范的声带振动得多：发这个浊辅音时让喉咙保持振动。<br>");
        else if (!IsVoicedConsonant(m_symbol) && gap > 0.3)
            advice += QStringLiteral("你的声带振动比示范多：这是清辅音，只送气不出声。<br>");
    }
    if (IsFricative(m_symbol)) {
        auto [cModel, cMine] =
            both([](const AnalysedSound& s) { return Kilohertz(s.analysis.centreOfGravity); });
        rows += Row(QStringLiteral("频谱重心（摩擦声的高低）"), cModel, cMine);
        if (m_referenceS && (m_symbol == kSymbolTheta || m_symbol == kSymbolSh)) {
            const double s = m_referenceS->analysis.centreOfGravity;
            rows += Row(QStringLiteral("对照：/s/ 的示范"), Kilohertz(s), QString());
            if (model && mine && s > 0) {
                const double own = mine->analysis.centreOfGravity;
                const double target = model->analysis.centreOfGravity;
                if (own > 0 && std::abs(own - s) < std::abs(own - target))
                    advice += m_symbol == kSymbolTheta
                                  ? QStringLiteral("你的 /θ/ 更接近 /s/：舌尖轻放在上下齿之间，"
                                                   "让气流从舌齿间送出。")
                                  : QStringLiteral("你的 /ʃ/ 更接近 /s/：舌身稍向后，"
                                                   "双唇略向前突出。");
            }
        }
    }
    m_consonantReadouts->setText(
        QStringLiteral("<table cellspacing=6>%1</table><p>%2</p>").arg(rows, advice));
}

void DlgPractice::OnVoiceChanged(int group) {
    WritePracticeVoice(m_paths, group);
    // The learner's formants are measured with their group's ceiling.
    for (Attempt& a : m_attempts)
        a.sound = Analyse(a.sound->sound, LearnerVoice());
    ShowAttempt(m_shown < 0 ? 0 : m_shown);
}

// Playing.

void DlgPractice::PlayModel() {
    if (!m_model)
        return;
    mplay::StartSamplesWorker(m_model->pcm, static_cast<uint32_t>(m_model->sound.rate), m_speed);
    StartCursor({{m_modelPicture, 0.0, m_model->sound.Duration(), 0.0}}, m_speed);
}

void DlgPractice::PlayMine() {
    if (m_shown < 0)
        return;
    const AnalysedSound& mine = *m_attempts[m_shown].sound;
    mplay::StartSamplesWorker(mine.pcm, static_cast<uint32_t>(mine.sound.rate), 1.0);
    StartCursor({{m_minePicture, 0.0, mine.sound.Duration(), 0.0}}, 1.0);
}

void DlgPractice::Compare() {
    if (!m_model || m_shown < 0)
        return;
    const AnalysedSound& mine = *m_attempts[m_shown].sound;
    const double rate = m_model->sound.rate;
    std::vector<int16_t> both = m_model->pcm;
    both.resize(both.size() + static_cast<size_t>(kCompareGap * rate), 0);
    const std::vector<int16_t> own = speech::ToPcm16(speech::Resample(mine.sound, rate));
    both.insert(both.end(), own.begin(), own.end());
    mplay::StartSamplesWorker(std::move(both), static_cast<uint32_t>(rate), m_speed);
    const double second = m_model->sound.Duration() + kCompareGap;
    StartCursor({{m_modelPicture, 0.0, m_model->sound.Duration(), 0.0},
                 {m_minePicture, 0.0, mine.sound.Duration(), second}},
                m_speed);
}

void DlgPractice::StartCursor(std::vector<PlayPart> parts, double speed) {
    m_playParts = std::move(parts);
    m_cursorSpeed = speed;
    m_playClock.start();
    m_cursor.start();
    MoveCursor();
}

void DlgPractice::MoveCursor() {
    // Wall time runs slower than the sound's own when it is slowed down.
    const double played = m_playClock.elapsed() / 1000.0 * m_cursorSpeed;
    bool ahead = false;
    for (const PlayPart& part : m_playParts) {
        const double t = played - part.wallStart + part.from;
        if (t > part.to)
            part.picture->SetCursor(-1);
        else {
            ahead = true;
            part.picture->SetCursor(t >= part.from ? t : -1);
        }
    }
    if (!ahead)
        StopCursor();
}

void DlgPractice::StopCursor() {
    m_cursor.stop();
    for (const PlayPart& part : m_playParts)
        part.picture->SetCursor(-1);
    m_playParts.clear();
}

// Recording.

void DlgPractice::ToggleRecording() {
    if (m_recorder && m_recorder->Active()) {
        m_recorder->Stop();
        return;
    }
    if (!m_recorder)
        m_recorder = std::make_unique<mplay::Recorder>();
    StopCursor();
    m_recordingItem = ItemKeyStd();
    SetMessage(QStringLiteral("请说……（说完停一下，录音会自己结束）"));
    m_btnRecord->setText(QStringLiteral("停止 (R)"));
    m_meter.start();
    QPointer<DlgPractice> self(this);
    m_recorder->Start({}, [self](mplay::Recording recording) {
        // On the recorder's thread: hand the result over to the window's.
        QMetaObject::invokeMethod(
            self.data(),
            [self, r = std::move(recording)]() mutable {
                if (self)
                    self->TakeRecording(std::move(r));
            },
            Qt::QueuedConnection);
    });
}

void DlgPractice::ShowLevel() {
    const float peak = m_recorder ? m_recorder->CurrentLevel().peak : 0.0f;
    // -60 dB to full scale across the meter.
    const double db = 20.0 * std::log10(std::max(peak, 1e-6f));
    m_level->setValue(static_cast<int>(std::clamp((db + 60.0) / 60.0 * 100.0, 0.0, 100.0)));
}

void DlgPractice::TakeRecording(mplay::Recording recording) {
    m_meter.stop();
    m_level->setValue(0);
    m_btnRecord->setText(QStringLiteral("录音 (R)"));
    switch (recording.error) {
    case mplay::RecordError::None:
        break;
    case mplay::RecordError::DeviceLost:
        if (!recording.heardSpeech || recording.samples.empty()) {
            SetMessage(QStringLiteral("麦克风中途断开了，请检查后再试。"), true);
            return;
        }
        break;
    case mplay::RecordError::NoDevice:
        SetMessage(QStringLiteral("找不到麦克风：请接上后再试。听示范和查看图形照常可用。"), true);
        return;
    case mplay::RecordError::PermissionDenied:
        SetMessage(QStringLiteral("系统不允许使用麦克风。"), true);
        return;
    case mplay::RecordError::DeviceBusy:
        SetMessage(QStringLiteral("麦克风正被别的程序占用。"), true);
        return;
    case mplay::RecordError::OpenFailed:
        SetMessage(QStringLiteral("无法打开麦克风。"), true);
        return;
    }
    const std::string startedOn = std::exchange(m_recordingItem, {});
    if (recording.reason == mplay::StopReason::Superseded ||
        recording.reason == mplay::StopReason::NotStarted ||
        (!startedOn.empty() && startedOn != ItemKeyStd())) {
        SetMessage({});
        return;
    }
    if (!recording.heardSpeech || recording.samples.empty()) {
        SetMessage(QStringLiteral("没有听到声音：请靠近麦克风再说一次。"), true);
        return;
    }
    QString note;
    bool warning = false;
    if (recording.error == mplay::RecordError::DeviceLost)
        note = QStringLiteral("麦克风中途断开了，已保留录到的部分。");
    if (recording.clippedSamples > kClippedShare * recording.samples.size()) {
        note += QStringLiteral("声音太大，录音失真了：请离麦克风远一点或调低录音音量。");
        warning = true;
    } else if (recording.peak < kQuietPeak * 32768.0f) {
        note += QStringLiteral("声音太小：请靠近麦克风或调高录音音量。");
        warning = true;
    }
    SoundPtr sound =
        Analyse(std::move(recording.samples), mplay::Recorder::kSampleRate, LearnerVoice());
    std::string path, error;
    if (!m_store.Save(ItemKeyStd(), sound->sound, NowMs(), path, error)) {
        note += QStringLiteral("录音无法保存（%1），本次练习照常，但不会保留。")
                    .arg(QString::fromStdString(error));
        warning = true;
        path.clear();
    }
    m_attempts.insert(m_attempts.begin(), {QString::fromStdString(path), std::move(sound)});
    if (m_attempts.size() > kShownAttempts)
        m_attempts.resize(kShownAttempts);
    RefreshAttemptChooser();
    ShowAttempt(0);
    SetMessage(note.isEmpty() ? QStringLiteral("录好了：按“对比”听示范和你的录音。") : note,
               warning);
}

void DlgPractice::DeleteAllAttempts() {
    const auto answer =
        QMessageBox::question(this, QStringLiteral("删除我的录音"),
                              QStringLiteral("删除所有练习项目的全部录音？删除后无法恢复。"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    const bool all = m_store.DeleteAll();
    m_attempts.clear();
    RefreshAttemptChooser();
    ShowAttempt(-1);
    SetMessage(all ? QStringLiteral("你的录音已全部删除。")
                   : QStringLiteral("有些录音删除不了，请检查数据文件夹的权限。"),
               !all);
}

void DlgPractice::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Saved once the learner has finished dragging: the program may end without closing us.
    if (isVisible())
        m_saveSize.start();
}

void DlgPractice::closeEvent(QCloseEvent* event) {
    if (m_recorder && m_recorder->Active())
        m_recorder->Stop();
    WritePracticeSize(m_paths, size());
    QWidget::closeEvent(event);
}

} // namespace sonavix::practice
