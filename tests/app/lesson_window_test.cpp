// The lesson window driven as a user drives it, on the offscreen platform: layout, the symbol
// list, navigation, the loop button's states and what each command loads and plays.
#include "lesson/DialogUnits.h"
#include "lesson/DlgSonavix.h"
#include "program_dir.h"

#include "mplay/PlayThread.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kLoopPlay = QStringLiteral("循环播放");
const QString kStop = QStringLiteral("停止");

class LessonWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApp();
        PlayRequests::Install();
        // Documents for symbols 0, 2 and 44 only; the others have none.
        for (int n : {0, 2, 44}) {
            const QString number = QString::number(n);
            dir.Write(QStringLiteral("pho/%1.rtf").arg(n),
                      RtfWithText(qPrintable(QStringLiteral("rules ") + number)));
            dir.Write(QStringLiteral("pho/%1-%1.rtf").arg(n),
                      RtfWithText(qPrintable(QStringLiteral("examples ") + number)));
        }
        PlayRequests::Clear();
        window = std::make_unique<CDlgSonavix>(dir.Path());
        window->show();
        QCoreApplication::processEvents();
    }

    template <typename T> T* Child(const char* name) const {
        T* child = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QString Box() const { return Child<QTextEdit>("m_editCurrent")->toPlainText(); }
    QString Rules() const { return Child<QTextEdit>("m_editRules")->toPlainText().trimmed(); }
    QString Examples() const { return Child<QTextEdit>("m_editExamples")->toPlainText().trimmed(); }
    void Click(const char* button) {
        QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton);
    }
    void ClickCell(int row, int column) {
        auto* list = Child<QTableWidget>("m_listSymbols");
        const QRect cell = list->visualRect(list->model()->index(row, column));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }
    std::string Media(const char* file) const { return (dir.Path() + file).toStdString(); }
    std::vector<std::string> Requests() const { return PlayRequests::Take(); }

    ProgramDir dir;
    std::unique_ptr<CDlgSonavix> window;
};

TEST_F(LessonWindow, IsFixedAtTheConvertedTemplateSize) {
    const sonavix::DialogBaseUnits units = sonavix::BaseUnitsOf(sonavix::DialogFont());
    ASSERT_GT(units.cx, 0);
    const QSize expected = sonavix::DluToPixels(units, 613, 457);
    EXPECT_EQ(window->size(), expected);
    EXPECT_EQ(window->minimumSize(), expected);
    EXPECT_EQ(window->maximumSize(), expected);
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    // Every control lies inside the window, at its template rectangle.
    EXPECT_EQ(Child<QTableWidget>("m_listSymbols")->geometry(),
              sonavix::DluToPixels(units, 48, 7, 403, 85));
    EXPECT_EQ(Child<QWidget>("m_web")->geometry(), sonavix::DluToPixels(units, 7, 227, 599, 223));
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(window->rect().contains(child->geometry()))
            << child->objectName().toStdString();
    EXPECT_TRUE(Child<QPushButton>("m_btnLoopAll")->isHidden());
}

TEST_F(LessonWindow, ListHoldsTheCatalogueInItsCells) {
    auto* list = Child<QTableWidget>("m_listSymbols");
    ASSERT_EQ(list->rowCount(), 5);
    ASSERT_EQ(list->columnCount(), 16);
    EXPECT_EQ(list->columnWidth(0), 0);
    EXPECT_EQ(list->columnWidth(9), 40);
    EXPECT_EQ(list->columnWidth(10), 45);
    EXPECT_EQ(list->columnWidth(15), 40);
    auto cell = [&](int row, int column) {
        const QTableWidgetItem* item = list->item(row, column);
        return item != nullptr ? item->text() : QString();
    };
    EXPECT_EQ(cell(0, 1), "i");
    EXPECT_EQ(cell(0, 7), "E");
    EXPECT_EQ(cell(0, 8), "");
    EXPECT_EQ(cell(1, 2), "B:");
    EXPECT_EQ(cell(2, 9), "au");
    EXPECT_EQ(cell(3, 9), "tF");
    EXPECT_EQ(cell(4, 10), "N");
    EXPECT_EQ(cell(4, 15), "dV");
    int symbols = 0;
    for (int row = 0; row < 5; ++row)
        for (int column = 1; column < 16; ++column)
            symbols += cell(row, column).isEmpty() ? 0 : 1;
    EXPECT_EQ(symbols, 45);
    EXPECT_EQ(list->item(0, 1)->foreground().color(), QColor(0, 0, 255));
    EXPECT_EQ(list->font().family(), "Sonavix Phonetic Plain");
    EXPECT_TRUE(list->font().bold());
    EXPECT_EQ(list->font().pixelSize(), 24);
    EXPECT_LE(list->rowHeight(0) * 5, list->viewport()->height());
    EXPECT_EQ(Child<QTextEdit>("m_editCurrent")->font().pixelSize(), 48);
}

TEST_F(LessonWindow, OpensOnTheFirstSymbolAndPlaysIt) {
    // SetUp cleared the log before the window was built.
    EXPECT_EQ(Requests(), std::vector<std::string>{Media("pho/0.mp3")});
    EXPECT_EQ(Box(), "i");
    EXPECT_EQ(Rules(), "rules 0");
    EXPECT_EQ(Examples(), "examples 0");
    EXPECT_EQ(window->CurrentSymbol(), 0);
    EXPECT_EQ(mplay::g_bRepeat.load(), 0);
}

TEST_F(LessonWindow, StepsStopAtBothEndsAndReplayThere) {
    Requests();
    Click("m_btnPrev");
    EXPECT_EQ(window->CurrentSymbol(), 0);
    Click("m_btnLast");
    EXPECT_EQ(window->CurrentSymbol(), 44);
    EXPECT_EQ(Box(), "dV");
    Click("m_btnNext");
    EXPECT_EQ(window->CurrentSymbol(), 44);
    Click("m_btnPrev");
    EXPECT_EQ(window->CurrentSymbol(), 43);
    Click("m_btnFirst");
    Click("m_btnNext");
    EXPECT_EQ(window->CurrentSymbol(), 1);
    EXPECT_EQ(Box(), "e");
    const std::vector<std::string> expected = {Media("pho/0.mp3"),  Media("pho/44.mp3"),
                                               Media("pho/44.mp3"), Media("pho/43.mp3"),
                                               Media("pho/0.mp3"),  Media("pho/1.mp3")};
    EXPECT_EQ(Requests(), expected);
}

TEST_F(LessonWindow, MissingDocumentsKeepThePanesButStillPlay) {
    Requests();
    Click("m_btnNext"); // symbol 1 has no documents
    EXPECT_EQ(Box(), "e");
    EXPECT_EQ(Rules(), "rules 0");
    EXPECT_EQ(Examples(), "examples 0");
    EXPECT_EQ(Requests(), std::vector<std::string>{Media("pho/1.mp3")});
    Click("m_btnNext");
    EXPECT_EQ(Rules(), "rules 2");
    EXPECT_EQ(Examples(), "examples 2");
}

TEST_F(LessonWindow, DocumentsShowUpToTheirFirstZeroByteAndPlainTextAsIs) {
    dir.Write(QStringLiteral("pho/1.rtf"), QByteArray("{\\rtf1 before\0after}", 20));
    dir.Write(QStringLiteral("pho/1-1.rtf"), QByteArray("plain \xE4\xB8\xAD words"));
    Click("m_btnNext");
    EXPECT_EQ(Rules(), "before");
    EXPECT_EQ(Examples(), QStringLiteral("plain 中 words"));
}

TEST_F(LessonWindow, ClicksOnSymbolCellsSelectAndPlay) {
    Requests();
    ClickCell(4, 15);
    EXPECT_EQ(window->CurrentSymbol(), 44);
    EXPECT_EQ(Box(), "dV");
    EXPECT_EQ(Rules(), "rules 44");
    ClickCell(0, 3); // "A", not the zero-wide "A" of column 0
    EXPECT_EQ(window->CurrentSymbol(), 2);
    ClickCell(3, 2); // "t" and "T" are different symbols
    EXPECT_EQ(window->CurrentSymbol(), 22);
    ClickCell(4, 5);
    EXPECT_EQ(window->CurrentSymbol(), 34);
    const std::vector<std::string> expected = {Media("pho/44.mp3"), Media("pho/2.mp3"),
                                               Media("pho/22.mp3"), Media("pho/34.mp3")};
    EXPECT_EQ(Requests(), expected);
}

TEST_F(LessonWindow, ClicksOnEmptyCellsAndBelowTheRowsDoNothing) {
    ClickCell(4, 15);
    Requests();
    ClickCell(0, 8);
    ClickCell(1, 15);
    auto* list = Child<QTableWidget>("m_listSymbols");
    const int belowRows = list->rowViewportPosition(4) + list->rowHeight(4) + 1;
    ASSERT_LT(belowRows, list->viewport()->height());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(60, belowRows));
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(window->CurrentSymbol(), 44);
    EXPECT_EQ(Box(), "dV");
}

TEST_F(LessonWindow, ClickingTheCurrentSymbolReloadsAndReplays) {
    dir.Write(QStringLiteral("pho/0.rtf"), RtfWithText("rules 0, revised"));
    Requests();
    ClickCell(0, 1);
    EXPECT_EQ(Requests(), std::vector<std::string>{Media("pho/0.mp3")});
    EXPECT_EQ(Rules(), "rules 0, revised");
    Click("m_btnReplay");
    EXPECT_EQ(Requests(), std::vector<std::string>{Media("pho/0.mp3")});
}

TEST_F(LessonWindow, LoopButtonGoesIdleLoopingStaleAndBack) {
    auto* loop = Child<QPushButton>("m_btnLoopPlay");
    auto* loopAll = Child<QPushButton>("m_btnLoopAll");
    Requests();
    Click("m_btnLoopPlay");
    EXPECT_EQ(loop->text(), kStop);
    EXPECT_EQ(mplay::g_bRepeat.load(), 1);
    EXPECT_FALSE(loopAll->isEnabled());
    EXPECT_EQ(Requests(), std::vector<std::string>{Media("pho/0.mp3")});

    Click("m_btnLoopPlay"); // looping -> idle, nothing starts
    EXPECT_EQ(loop->text(), kLoopPlay);
    EXPECT_EQ(mplay::g_bRepeat.load(), 0);
    EXPECT_TRUE(loopAll->isEnabled());
    EXPECT_TRUE(Requests().empty());

    Click("m_btnLoopPlay");
    Click("m_btnNext"); // looping -> stale: the next symbol plays once
    EXPECT_EQ(loop->text(), kStop);
    EXPECT_EQ(mplay::g_bRepeat.load(), 0);
    EXPECT_EQ(Requests(), (std::vector<std::string>{Media("pho/0.mp3"), Media("pho/1.mp3")}));

    Click("m_btnLoopPlay"); // stale -> idle without sound
    EXPECT_EQ(loop->text(), kLoopPlay);
    EXPECT_EQ(mplay::g_bRepeat.load(), 0);
    EXPECT_TRUE(Requests().empty());

    Click("m_btnLoopPlay"); // loops the symbol now current
    EXPECT_EQ(mplay::g_bRepeat.load(), 1);
    EXPECT_EQ(Requests(), std::vector<std::string>{Media("pho/1.mp3")});
    Click("m_btnPlayExample"); // also ends looping
    EXPECT_EQ(mplay::g_bRepeat.load(), 0);
    EXPECT_EQ(loop->text(), kStop);
    Click("m_btnLoopPlay");
}

TEST_F(LessonWindow, PlayExampleLeavesPanesAndCaptions) {
    ClickCell(4, 15);
    Requests();
    Child<QTextEdit>("m_editRules")->setPlainText(QStringLiteral("typed by the learner"));
    Click("m_btnPlayExample");
    EXPECT_EQ(Requests(), std::vector<std::string>{Media("pho/44-44.mp3")});
    EXPECT_EQ(Rules(), "typed by the learner");
    EXPECT_EQ(Box(), "dV");
    EXPECT_EQ(Child<QPushButton>("m_btnLoopPlay")->text(), kLoopPlay);
}

TEST_F(LessonWindow, HiddenLoopAllOnlyTogglesCaptions) {
    auto* loop = Child<QPushButton>("m_btnLoopPlay");
    auto* loopAll = Child<QPushButton>("m_btnLoopAll");
    Requests();
    window->OnLoopAll();
    EXPECT_EQ(loopAll->text(), kStop);
    EXPECT_FALSE(loop->isEnabled());
    window->OnLoopAll();
    EXPECT_EQ(loopAll->text(), QStringLiteral("整体循环"));
    EXPECT_TRUE(loop->isEnabled());
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(mplay::g_bRepeat.load(), 0);
}

TEST_F(LessonWindow, EnterAndEscapeCloseFromAnyControl) {
    QTest::keyClick(Child<QTextEdit>("m_editRules"), Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    window->show();
    QTest::keyClick(Child<QTableWidget>("m_listSymbols"), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
}

TEST_F(LessonWindow, LinksAndHomePageAreLocal) {
    for (const char* name : {"m_linkSite", "m_linkIntro", "m_linkRecommend"}) {
        const QString html = Child<QLabel>(name)->text();
        const qsizetype start = html.indexOf(QStringLiteral("href=\"")) + 6;
        const QUrl url(html.mid(start, html.indexOf(QLatin1Char('"'), start) - start));
        EXPECT_TRUE(url.isLocalFile()) << name;
        EXPECT_TRUE(QFileInfo::exists(url.toLocalFile())) << name;
    }
    EXPECT_FALSE(Child<QTextEdit>("m_web")->toPlainText().isEmpty());
}

} // namespace
