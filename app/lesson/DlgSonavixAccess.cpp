// What a screen reader says for each control of the lesson window, and the tooltips, which name
// each control's key. The symbol cells say their row and symbol in IPA ("短元音 ɪ"), since the
// codes the font draws ("i") mean nothing spoken.
#include "lesson/DlgSonavix.h"

#include "lesson/SymbolCatalogue.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextEdit>

namespace {

struct Description {
    const char* control;     // object name
    const char* name;        // accessible name; empty keeps the control's caption
    const char* description; // accessible description and tooltip (UTF-8)
};

constexpr Description kDescriptions[] = {
    {"m_listSymbols", "音标表",
     "45 个音标，按类别分五行。← → 上个、下个音标，↑ ↓ 上一行、下一行，Home、End 第一个、"
     "最后一个；移到哪个音标就播放哪个。空格重播，L 循环播放，E 播放示例，S 切换语速，"
     "F 打开阅读窗口"},
    {"m_btnFirst", "最前音标", "选择第一个音标并播放（Home）"},
    {"m_btnLast", "最后音标", "选择最后一个音标并播放（End）"},
    {"m_btnPrev", "上个音标", "选择上一个音标并播放（←）"},
    {"m_btnNext", "下个音标", "选择下一个音标并播放（→）"},
    {"m_btnReplay", "重播", "再播放一遍当前音标（空格）"},
    {"m_btnLoopPlay", "", "反复播放当前音标，再按一次停止（L）"},
    {"m_btnLoopAll", "整体循环", ""},
    {"m_btnPlayExample", "播放示例", "播放当前音标的示例单词（E）"},
    {"m_comboSpeed", "语速", "音标和示例录音的播放速度，音高不变（S 依次切换）"},
    {"m_comboTheme", "界面主题", "选择程序的外观"},
    {"m_editRules", "发音规则", "当前音标的发音规则；双击或按 F 在阅读窗口中放大阅读"},
    {"m_editExamples", "发音举例", "当前音标的示例单词；双击或按 F 在阅读窗口中放大阅读"},
    {"m_linkSite", "Sonavix 主页", "用浏览器打开主页（空格）"},
    {"m_linkRecommend", "使用说明与音标表", "用浏览器打开使用说明（空格）"},
    {"m_linkIntro", "关于 Sonavix", "课程和作者；用浏览器打开主页的“关于”一节（空格）"},
    {"m_web", "Sonavix 主页", "使用说明、快捷键和音标表"},
};

} // namespace

void CDlgSonavix::DescribeControls() {
    setAccessibleName(windowTitle());
    for (const Description& d : kDescriptions) {
        auto* widget = findChild<QWidget*>(QLatin1String(d.control), Qt::FindDirectChildrenOnly);
        if (widget == nullptr)
            continue;
        if (*d.name != '\0')
            widget->setAccessibleName(QString::fromUtf8(d.name));
        const QString description = QString::fromUtf8(d.description);
        widget->setAccessibleDescription(description);
        widget->setToolTip(description);
    }
    DescribeLoopButton();
}

void CDlgSonavix::DescribeLoopButton() {
    m_btnLoopPlay->setAccessibleName(m_btnLoopPlay->text() == QStringLiteral("停止")
                                         ? QStringLiteral("停止循环")
                                         : QStringLiteral("循环播放"));
}

// Run once the list is filled and on every change of the current symbol.
void CDlgSonavix::DescribeCurrent() {
    m_editCurrent->setAccessibleName(
        QStringLiteral("当前音标 %1").arg(sonavix::SpokenName(m_nCurrent)));
    m_editCurrent->setAccessibleDescription(QStringLiteral("正在学习的音标"));
    for (int row = 0; row < m_listSymbols->rowCount(); ++row)
        for (int column = 1; column < m_listSymbols->columnCount(); ++column) {
            QTableWidgetItem* item = m_listSymbols->item(row, column);
            const int n = sonavix::NumberAt(row, column - 1);
            if (item != nullptr && n >= 0 && item->data(Qt::AccessibleTextRole).isNull())
                item->setData(Qt::AccessibleTextRole, sonavix::SpokenName(n));
        }
}
