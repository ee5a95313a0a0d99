// The lesson window's construction: the controls of the dialog template at their converted
// rectangles, the symbol list, the links and the home page. The commands are in
// DlgSonavixCommands.cpp, the themes in DlgSonavixTheme.cpp.

#include "lesson/DlgSonavix.h"

#include "common/LessonSettings.h"
#include "common/SymbolFont.h"
#include "drill/DlgDrill.h"
#include "lesson/AppIcons.h"
#include "lesson/DialogUnits.h"
#include "lesson/FocusRing.h"
#include "lesson/SymbolCatalogue.h"
#include "lesson/SymbolCellDelegate.h"
#include "practice/DlgPractice.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QUrl>

#include <algorithm>
#include <iterator>

namespace {

using sonavix::DialogBaseUnits;

constexpr int kDialogWidth = 613; // dialog units
constexpr int kDialogHeight = 457;
constexpr int kSymbolFontPixels = 24;
constexpr int kCurrentFontPixels = 48;

int ListColumnWidth(int column) {
    if (column == 0)
        return 0;
    return column == 10 ? 45 : 40;
}

// The dialog template: every control with its name, kind, caption and rectangle in dialog units,
// in creation order (which is also the drawing order: the frame goes first so that the buttons
// inside it stay on top).
enum class Kind {
    Frame,
    List,
    Button,
    Label,
    RowLabel,
    Pane,
    CurrentBox,
    Link,
    WrappedLink,
    Combo,
    Choice,
    Web
};

struct Control {
    const char* name;
    Kind kind;
    const char* text; // UTF-8
    int x, y, width, height;
};

constexpr Control kControls[] = {
    {"frameButtons", Kind::Frame, "", 7, 93, 599, 52},
    {"m_listSymbols", Kind::List, "", 48, 7, 403, 85},
    {"m_btnFirst", Kind::Button, "<| 最前音标", 122, 104, 54, 14},
    {"m_btnPrev", Kind::Button, "<< 上个音标", 240, 104, 54, 14},
    {"m_btnNext", Kind::Button, ">> 下个音标", 299, 104, 54, 14},
    {"m_btnLast", Kind::Button, "|> 最后音标", 181, 104, 54, 14},
    {"m_btnLoopPlay", Kind::Button, "循环播放", 122, 126, 54, 14},
    {"m_btnLoopAll", Kind::Button, "整体循环", 181, 126, 54, 14},
    {"m_btnPlayExample", Kind::Button, "播放示例", 341, 126, 54, 14},
    // One caption per catalogue row, its text from the catalogue.
    {"", Kind::RowLabel, "", 7, 9, 33, 8},
    {"", Kind::RowLabel, "", 7, 27, 33, 8},
    {"", Kind::RowLabel, "", 7, 45, 33, 8},
    {"", Kind::RowLabel, "", 7, 63, 33, 8},
    {"", Kind::RowLabel, "", 7, 81, 33, 8},
    {"", Kind::Label, "当前音标：", 14, 106, 41, 8},
    {"", Kind::Label, "发音规则：", 14, 129, 41, 8},
    {"m_editExamples", Kind::Pane, "", 292, 148, 314, 75},
    {"m_editRules", Kind::Pane, "", 7, 148, 280, 75},
    {"m_editCurrent", Kind::CurrentBox, "", 60, 104, 41, 36},
    {"m_btnReplay", Kind::Button, "", 104, 126, 14, 14},
    {"m_linkIntro", Kind::WrappedLink, "", 458, 43, 148, 54},
    {"m_linkSite", Kind::Link, "", 457, 7, 149, 12},
    {"m_linkRecommend", Kind::Link, "", 458, 25, 148, 12},
    {"m_comboTheme", Kind::Combo, "", 362, 105, 109, 14},
    {"", Kind::Label, "发音举例：", 291, 129, 41, 8},
    {"m_web", Kind::Web, "", 7, 227, 599, 223},
    // Added to the template in free space of the button frame.
    {"", Kind::Label, "语速：", 403, 129, 24, 8},
    {"m_comboSpeed", Kind::Choice, "", 429, 126, 42, 14},
    {"m_btnDrill", Kind::Button, "辨音练习 (D)", 480, 104, 64, 14},
    {"m_btnPractice", Kind::Button, "跟读练习 (R)", 480, 126, 64, 14},
};

static_assert(std::count_if(std::begin(kControls), std::end(kControls), [](const Control& c) {
                  return c.kind == Kind::RowLabel;
              }) == sonavix::kRowCount);

QWidget* CreateControl(const Control& control, QWidget* parent) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
    case Kind::Frame:
        return new QGroupBox(parent);
    case Kind::List:
        return new QTableWidget(sonavix::kRowCount, sonavix::kListColumns, parent);
    case Kind::Button: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        return button;
    }
    case Kind::Label:
    case Kind::RowLabel:
    case Kind::Link:
        return new QLabel(text, parent);
    case Kind::WrappedLink: {
        auto* label = new QLabel(text, parent);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case Kind::Pane: {
        auto* edit = new QTextEdit(parent);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        edit->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        edit->setAcceptRichText(true);
        return edit;
    }
    case Kind::CurrentBox: {
        auto* edit = new QTextEdit(parent);
        edit->setLineWrapMode(QTextEdit::NoWrap);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setAcceptRichText(false);
        edit->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
        edit->document()->setDocumentMargin(1);
        return edit;
    }
    case Kind::Combo: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        return combo;
    }
    case Kind::Choice:
        return new QComboBox(parent);
    case Kind::Web: {
        auto* web = new QTextBrowser(parent);
        web->setOpenExternalLinks(true);
        return web;
    }
    }
    return nullptr;
}

void SetLink(QLabel* label, const QString& href, const QString& text) {
    // A little leading keeps each line's underline clear of the next line.
    label->setText(
        QStringLiteral("<p style=\"line-height:125%\"><a href=\"%1\">%2</a></p>").arg(href, text));
    label->setProperty("href", href); // what Space opens when the link has the focus
}

} // namespace

CDlgSonavix::CDlgSonavix(const QString& appDir, QWidget* parent)
    : QDialog(parent), m_paths(sonavix::ProgramPaths::Resolve(appDir)) {
    CreateControls();
    LoadSavedTheme();
    m_nSpeed = sonavix::ReadSpeedPercent(m_paths);
    m_comboSpeed->setCurrentIndex(m_comboSpeed->findData(m_nSpeed));
}

CDlgSonavix::~CDlgSonavix() {
    qApp->removeEventFilter(this);
}

void CDlgSonavix::CreateControls() {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Sonavix 美语音标 %1").arg(QStringLiteral(SONAVIX_VERSION)));
    setFont(sonavix::DialogFont());
    const DialogBaseUnits units = sonavix::BaseUnitsOf(font());
    setFixedSize(sonavix::DluToPixels(units, kDialogWidth, kDialogHeight));

    int rowLabel = 0;
    for (const Control& control : kControls) {
        QWidget* widget = CreateControl(control, this);
        if (control.kind == Kind::RowLabel)
            static_cast<QLabel*>(widget)->setText(
                QString::fromUtf8(sonavix::SymbolRows()[rowLabel++].label));
        widget->setObjectName(QLatin1String(control.name));
        widget->setGeometry(
            sonavix::DluToPixels(units, control.x, control.y, control.width, control.height));
    }
    const auto find = [this]<typename T>(T*& member, const char* name) {
        member = findChild<T*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    };
    find(m_listSymbols, "m_listSymbols");
    find(m_btnFirst, "m_btnFirst");
    find(m_btnPrev, "m_btnPrev");
    find(m_btnNext, "m_btnNext");
    find(m_btnLast, "m_btnLast");
    find(m_btnLoopPlay, "m_btnLoopPlay");
    find(m_btnLoopAll, "m_btnLoopAll");
    find(m_btnPlayExample, "m_btnPlayExample");
    find(m_editExamples, "m_editExamples");
    find(m_editRules, "m_editRules");
    find(m_editCurrent, "m_editCurrent");
    find(m_btnReplay, "m_btnReplay");
    find(m_linkIntro, "m_linkIntro");
    find(m_linkSite, "m_linkSite");
    find(m_linkRecommend, "m_linkRecommend");
    find(m_comboTheme, "m_comboTheme");
    find(m_web, "m_web");
    find(m_comboSpeed, "m_comboSpeed");

    m_btnLoopAll->hide();
    for (int theme = 1; theme <= 6; ++theme)
        m_comboTheme->addItem(QStringLiteral("界面主题 %1").arg(theme));
    for (int percent : sonavix::kSpeedPercents)
        m_comboSpeed->addItem(sonavix::SpeedLabel(percent), percent);

    // Tab goes round in reading order: the list, the box and the buttons row by row, left to
    // right, the choosers, the panes, the links and the home page. The text boxes pass Tab on
    // instead of typing it, and the list leaves on Tab instead of stepping through its cells.
    QWidget* const tabOrder[] = {m_listSymbols, m_editCurrent,  m_btnFirst,       m_btnLast,
                                 m_btnPrev,     m_btnNext,      m_comboTheme,     m_btnReplay,
                                 m_btnLoopPlay, m_btnLoopAll,   m_btnPlayExample, m_comboSpeed,
                                 m_editRules,   m_editExamples, m_linkSite,       m_linkRecommend,
                                 m_linkIntro,   m_web};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    m_listSymbols->setTabKeyNavigation(false);
    for (QTextEdit* edit : {m_editCurrent, m_editRules, m_editExamples})
        edit->setTabChangesFocus(true);
    for (QLabel* link : {m_linkIntro, m_linkSite, m_linkRecommend})
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);

    // Message map.
    connect(m_btnLoopAll, &QPushButton::clicked, this, &CDlgSonavix::OnLoopAll);
    connect(m_btnPlayExample, &QPushButton::clicked, this, &CDlgSonavix::OnPlayExample);
    connect(m_btnFirst, &QPushButton::clicked, this, &CDlgSonavix::OnFirst);
    connect(m_btnLast, &QPushButton::clicked, this, &CDlgSonavix::OnLast);
    connect(m_btnNext, &QPushButton::clicked, this, &CDlgSonavix::OnNext);
    connect(m_btnLoopPlay, &QPushButton::clicked, this, &CDlgSonavix::OnLoopPlay);
    connect(m_btnPrev, &QPushButton::clicked, this, &CDlgSonavix::OnPrev);
    connect(m_btnReplay, &QPushButton::clicked, this, &CDlgSonavix::OnReplay);
    connect(m_comboTheme, &QComboBox::activated, this, &CDlgSonavix::OnSelchangeTheme);
    connect(m_comboSpeed, &QComboBox::activated, this, &CDlgSonavix::OnSelchangeSpeed);
    connect(findChild<QPushButton*>(QStringLiteral("m_btnDrill"), Qt::FindDirectChildrenOnly),
            &QPushButton::clicked, this, &CDlgSonavix::OnDrill);
    connect(findChild<QPushButton*>(QStringLiteral("m_btnPractice"), Qt::FindDirectChildrenOnly),
            &QPushButton::clicked, this, &CDlgSonavix::OnPractice);
    // The D and R keys come through OnCommandKey.
    connect(this, &CDlgSonavix::openDrillRequested, this, &CDlgSonavix::OnDrill);
    connect(this, &CDlgSonavix::openPracticeRequested, this, &CDlgSonavix::OnPractice);
    for (QLabel* link : {m_linkIntro, m_linkSite, m_linkRecommend})
        connect(link, &QLabel::linkActivated, this,
                [](const QString& href) { QDesktopServices::openUrl(QUrl(href)); });
    // The list marks its current cell itself; every other control gets the ring.
    m_focusRing = new sonavix::FocusRing(this);
    m_focusRing->setObjectName(QStringLiteral("focusRing"));
    m_focusRing->Exempt(m_listSymbols);
    DescribeControls();
    // Application-wide: the keys reach the window from whichever control has the focus, the
    // list's clicks are seen on its viewport and the panes' double-clicks on theirs.
    qApp->installEventFilter(this);
}

void CDlgSonavix::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_bWindowCreated)
        OnInitDialog();
}

bool CDlgSonavix::OnInitDialog() {
    m_bWindowCreated = true;
    setWindowIcon(sonavix::AppIcon());

    m_fontList = sonavix::SymbolFont(kSymbolFontPixels);
    m_listSymbols->setFont(m_fontList);
    m_fontCurrent = sonavix::SymbolFont(kCurrentFontPixels);
    m_editCurrent->setFont(m_fontCurrent);

    QTableWidget* list = m_listSymbols;
    list->horizontalHeader()->hide();
    list->verticalHeader()->hide();
    list->setShowGrid(true);
    list->setItemDelegate(new sonavix::SymbolCellDelegate(list));
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->horizontalHeader()->setMinimumSectionSize(0);
    list->verticalHeader()->setMinimumSectionSize(0);
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int column = 0; column < sonavix::kListColumns; ++column)
        list->setColumnWidth(column, ListColumnWidth(column));
    // Rows as high as the symbol font, as a report list sizes them; the rest is empty space.
    const int rowHeight = kSymbolFontPixels;
    for (int row = 0; row < sonavix::kRowCount; ++row) {
        list->setRowHeight(row, rowHeight);
        list->setItem(row, 0, new QTableWidgetItem(row == 0 ? QStringLiteral("A") : QString()));
        const auto codes = sonavix::SymbolRows()[row].codes;
        for (size_t i = 0; i < codes.size(); ++i) {
            const QString code = QString::fromLatin1(codes[i]);
            m_arrSymbols.append(code);
            auto* item = new QTableWidgetItem(code);
            item->setForeground(QColor(0, 0, 255));
            item->setFont(m_fontList);
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            list->setItem(row, static_cast<int>(i) + 1, item);
        }
    }

    m_btnReplay->setIcon(sonavix::ReplayIcon());
    m_btnReplay->setIconSize(QSize(16, 16));

    m_nCurrent = 0;
    SelectCurrent();

    const QString home = QUrl::fromLocalFile(m_paths.HomePage()).toString();
    SetLink(m_linkIntro, home + QStringLiteral("#about"),
            QStringLiteral("Sonavix 美语音标训练<br>课程：Sonavix 课程组编写"
                           "<br>作者：Sonavix 开发组<br>联系：见主页"
                           "“关于”一节"));
    SetLink(m_linkSite, home, QStringLiteral("Sonavix 主页"));
    SetLink(m_linkRecommend, home + QStringLiteral("#usage"),
            QStringLiteral("推荐：使用说明与音标表"));

    m_comboTheme->setCurrentIndex(m_nTheme >= 1 && m_nTheme <= 6 ? m_nTheme - 1 : -1);
    NavigateHome();
    m_listSymbols->setFocus();
    return true;
}

void CDlgSonavix::NavigateHome() {
    const QString page = m_paths.HomePage();
    if (QFileInfo::exists(page))
        m_web->setSource(QUrl::fromLocalFile(page));
    else
        m_web->clear();
}

bool CDlgSonavix::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_listSymbols->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            OnClickList(mouse->position().toPoint());
        return false;
    }
    if (event->type() == QEvent::MouseButtonDblClick &&
        (watched == m_editRules->viewport() || watched == m_editExamples->viewport())) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OpenReader(watched == m_editExamples->viewport());
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
        if (key == Qt::Key_Escape) {
            reject();
            return true;
        }
        // The list's own keys would move its current cell without playing: the window's take
        // their place. Elsewhere a key is the window's only when the control it was pressed in
        // has no use for it and passes it up (the text boxes keep their typing and scrolling,
        // the choosers their choosing, a button its Space).
        if (watched == m_listSymbols)
            return OnListKey(*keyEvent);
        if (key == Qt::Key_Space && keyEvent->modifiers() == Qt::NoModifier &&
            watched->property("href").isValid()) {
            QDesktopServices::openUrl(QUrl(watched->property("href").toString()));
            return true;
        }
        if (watched == this)
            return OnCommandKey(*keyEvent);
    }
    return QDialog::eventFilter(watched, event);
}

void CDlgSonavix::OnDrill() {
    if (!m_drill) {
        m_drill = new sonavix::drill::DlgDrill(
            m_paths.Data(QStringLiteral("pairs")),
            m_paths.LearnerDataDir() + QStringLiteral("progress.sqlite"), this);
        connect(m_drill, &sonavix::drill::DlgDrill::practiseRequested, this,
                [this](const QString& word, const QString& recording, const QString& code) {
                    OnPractice();
                    m_practice->PractiseWord(word, recording, code);
                });
    }
    m_drill->show();
    m_drill->raise();
    m_drill->activateWindow();
}

void CDlgSonavix::OnPractice() {
    if (!m_practice) {
        m_practice = new sonavix::practice::DlgPractice(m_paths, m_nCurrent, PlaybackSpeed(), this);
        connect(this, &CDlgSonavix::currentSymbolChanged, m_practice,
                &sonavix::practice::DlgPractice::SetSymbol);
        connect(this, &CDlgSonavix::playbackSpeedChanged, m_practice,
                &sonavix::practice::DlgPractice::SetSpeed);
    }
    m_practice->SetSymbol(m_nCurrent);
    m_practice->show();
    m_practice->raise();
    m_practice->activateWindow();
}
