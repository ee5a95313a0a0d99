// The lesson window's construction: the controls of the dialog template at their converted
// rectangles, the symbol list, the links and the home page. The commands are in
// DlgSonavixCommands.cpp, the themes in DlgSonavixTheme.cpp.

#include "lesson/DlgSonavix.h"

#include "lesson/AppIcons.h"
#include "lesson/DialogUnits.h"
#include "lesson/SymbolCatalogue.h"
#include "lesson/SymbolCellDelegate.h"

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
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QUrl>

#include <iterator>

namespace {

using sonavix::DialogBaseUnits;

constexpr int kDialogWidth = 613; // dialog units
constexpr int kDialogHeight = 457;
constexpr int kSymbolFontPixels = 24;
constexpr int kCurrentFontPixels = 48;
constexpr int kRowLabelTop[] = {9, 27, 45, 63, 81};

int ListColumnWidth(int column) {
    if (column == 0)
        return 0;
    return column == 10 ? 45 : 40;
}

QFont SymbolFont(int pixels) {
    QFont font(QStringLiteral("Sonavix Phonetic Plain"));
    font.setBold(true);
    // Set explicitly, so the widget does not take the dialog font's hint (and with it another
    // substitute face, of other metrics, when the symbol font is missing).
    font.setStyleHint(QFont::AnyStyle);
    font.setPixelSize(pixels);
    return font;
}

QString LinkHtml(const QString& href, const QString& text) {
    // A little leading keeps each line's underline clear of the next line.
    return QStringLiteral("<p style=\"line-height:125%\"><a href=\"%1\">%2</a></p>")
        .arg(href, text);
}

} // namespace

CDlgSonavix::CDlgSonavix(const QString& appDir, QWidget* parent)
    : QDialog(parent), m_strAppDir(appDir) {
    CreateControls();
    LoadSavedTheme();
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
    auto place = [&](QWidget* widget, const char* name, int x, int y, int w, int h) {
        widget->setObjectName(QLatin1String(name));
        widget->setGeometry(sonavix::DluToPixels(units, x, y, w, h));
    };
    auto button = [&](const char* name, const char* text, int x, int y) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setAutoDefault(false);
        place(b, name, x, y, 54, 14);
        return b;
    };
    auto label = [&](const char* text, int x, int y, int w, int h) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setGeometry(sonavix::DluToPixels(units, x, y, w, h));
        return l;
    };
    auto pane = [&](const char* name, int x, int y, int w, int h) {
        auto* edit = new QTextEdit(this);
        place(edit, name, x, y, w, h);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        edit->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        edit->setAcceptRichText(true);
        return edit;
    };

    // The frame goes first so that the buttons inside it stay on top.
    auto* frame = new QGroupBox(this);
    place(frame, "frameButtons", 7, 93, 599, 52);

    m_listSymbols = new QTableWidget(sonavix::kRowCount, sonavix::kListColumns, this);
    place(m_listSymbols, "m_listSymbols", 48, 7, 403, 85);
    m_btnFirst = button("m_btnFirst", "<| 最前音标", 122, 104);
    m_btnPrev = button("m_btnPrev", "<< 上个音标", 240, 104);
    m_btnNext = button("m_btnNext", ">> 下个音标", 299, 104);
    m_btnLast = button("m_btnLast", "|> 最后音标", 181, 104);
    m_btnLoopPlay = button("m_btnLoopPlay", "循环播放", 122, 126);
    m_btnLoopAll = button("m_btnLoopAll", "整体循环", 181, 126);
    m_btnLoopAll->hide();
    m_btnPlayExample = button("m_btnPlayExample", "播放示例", 341, 126);
    for (int row = 0; row < sonavix::kRowCount; ++row)
        label(sonavix::SymbolRows()[row].label, 7, kRowLabelTop[row], 33, 8);
    label("当前音标：", 14, 106, 41, 8);
    label("发音规则：", 14, 129, 41, 8);
    m_editExamples = pane("m_editExamples", 292, 148, 314, 75);
    m_editRules = pane("m_editRules", 7, 148, 280, 75);

    m_editCurrent = new QTextEdit(this);
    place(m_editCurrent, "m_editCurrent", 60, 104, 41, 36);
    m_editCurrent->setLineWrapMode(QTextEdit::NoWrap);
    m_editCurrent->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editCurrent->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editCurrent->setAcceptRichText(false);
    m_editCurrent->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    m_editCurrent->document()->setDocumentMargin(1);

    m_btnReplay = new QPushButton(this);
    m_btnReplay->setAutoDefault(false);
    place(m_btnReplay, "m_btnReplay", 104, 126, 14, 14);

    m_linkIntro = label("", 458, 43, 148, 54);
    m_linkIntro->setObjectName(QStringLiteral("m_linkIntro"));
    m_linkIntro->setWordWrap(true);
    m_linkIntro->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_linkSite = label("", 457, 7, 149, 12);
    m_linkSite->setObjectName(QStringLiteral("m_linkSite"));
    m_linkRecommend = label("", 458, 25, 148, 12);
    m_linkRecommend->setObjectName(QStringLiteral("m_linkRecommend"));

    m_comboTheme = new QComboBox(this);
    place(m_comboTheme, "m_comboTheme", 362, 105, 109, 14);
    m_comboTheme->setEditable(true);
    for (int theme = 1; theme <= 6; ++theme)
        m_comboTheme->addItem(QStringLiteral("界面主题 %1").arg(theme));
    label("发音举例：", 291, 129, 41, 8);

    m_web = new QTextBrowser(this);
    place(m_web, "m_web", 7, 227, 599, 223);
    m_web->setOpenExternalLinks(true);

    // Tab order of the template.
    QWidget* const tabOrder[] = {m_listSymbols,  m_btnFirst,    m_btnPrev,     m_btnNext,
                                 m_btnLast,      m_btnLoopPlay, m_btnLoopAll,  m_btnPlayExample,
                                 m_editExamples, m_editRules,   m_editCurrent, m_btnReplay,
                                 m_comboTheme,   m_web};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

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
    for (QLabel* link : {m_linkIntro, m_linkSite, m_linkRecommend})
        connect(link, &QLabel::linkActivated, this,
                [](const QString& href) { QDesktopServices::openUrl(QUrl(href)); });
    // Application-wide: Enter and Escape close the window from whichever control has the focus,
    // and the list's clicks are seen on its viewport.
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

    m_fontList = SymbolFont(kSymbolFontPixels);
    m_listSymbols->setFont(m_fontList);
    m_fontCurrent = SymbolFont(kCurrentFontPixels);
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

    const QString home =
        QUrl::fromLocalFile(m_strAppDir + QStringLiteral("web/index.html")).toString();
    m_linkIntro->setText(LinkHtml(home + QStringLiteral("#about"),
                                  QStringLiteral("Sonavix 美语音标训练<br>课程：Sonavix 课程组编写"
                                                 "<br>作者：Sonavix 开发组<br>联系：见主页"
                                                 "“关于”一节")));
    m_linkSite->setText(LinkHtml(home, QStringLiteral("Sonavix 主页")));
    m_linkRecommend->setText(
        LinkHtml(home + QStringLiteral("#usage"), QStringLiteral("推荐：使用说明与音标表")));

    m_comboTheme->setCurrentIndex(m_nTheme >= 1 && m_nTheme <= 6 ? m_nTheme - 1 : -1);
    NavigateHome();
    m_listSymbols->setFocus();
    return true;
}

void CDlgSonavix::NavigateHome() {
    const QString page = m_strAppDir + QStringLiteral("web/index.html");
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
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
        if (key == Qt::Key_Escape) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
