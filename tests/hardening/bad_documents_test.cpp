// Broken lesson documents in the window that shows them: whatever the bytes, the window opens in
// bounded time, the recording is still requested, and the panes show whatever text there is.
#include "lesson/DlgSonavix.h"
#include "program_dir.h"

#include <QDir>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>

namespace {

constexpr double kSecondsPerWindow = 30.0;

class BadDocuments : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApp();
        PlayRequests::Install();
        PlayRequests::Clear();
    }
    void TearDown() override { window.reset(); }

    // Opens the window on symbol 0 with the given rules and examples documents.
    void Open(const QByteArray& rules, const QByteArray& examples) {
        dir.Write(QStringLiteral("pho/0.rtf"), rules);
        dir.Write(QStringLiteral("pho/0-0.rtf"), examples);
        OpenWindow();
    }
    void OpenWindow() {
        const auto start = std::chrono::steady_clock::now();
        window = std::make_unique<CDlgSonavix>(dir.Path());
        window->show();
        QCoreApplication::processEvents();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, kSecondsPerWindow);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(PlayRequests::Take(),
                  std::vector<std::string>{(dir.Path() + "pho/0.mp3").toStdString()});
    }
    QString Pane(const char* name) const {
        auto* pane = window->findChild<QTextEdit*>(QLatin1String(name));
        return pane ? pane->toPlainText() : QStringLiteral("<no pane>");
    }
    QString Rules() const { return Pane("m_editRules"); }
    QString Examples() const { return Pane("m_editExamples"); }

    ProgramDir dir;
    std::unique_ptr<CDlgSonavix> window;
    double seconds = 0;
};

QByteArray RandomBytes(int size, unsigned seed) {
    std::mt19937 rng(seed);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = char(rng());
    return bytes;
}

TEST_F(BadDocuments, EmptyDocumentsLeaveEmptyPanes) {
    Open({}, {});
    EXPECT_TRUE(Rules().trimmed().isEmpty());
    EXPECT_TRUE(Examples().trimmed().isEmpty());
}

TEST_F(BadDocuments, BinaryDocumentsOpenTheWindow) {
    // Zero bytes end a document, so binary with and without them.
    QByteArray noZeros = RandomBytes(65536, 2);
    noZeros.replace('\0', '\x01');
    Open(RandomBytes(65536, 1), noZeros);
    EXPECT_FALSE(Examples().isEmpty());
}

TEST_F(BadDocuments, UnterminatedRichTextShowsItsText) {
    Open("{\\rtf1\\ansi{\\fonttbl{\\f0 Song;}}\\f0 rules so far {\\b bold \\par more",
         "{\\rtf1 examples {\\i cut in a group {\\*\\unknown x");
    EXPECT_TRUE(Rules().contains(QStringLiteral("rules so far")));
    EXPECT_TRUE(Rules().contains(QStringLiteral("bold")));
    EXPECT_TRUE(Rules().contains(QStringLiteral("more")));
    EXPECT_TRUE(Examples().contains(QStringLiteral("examples")));
    EXPECT_TRUE(Examples().contains(QStringLiteral("cut in a group")));
}

TEST_F(BadDocuments, TenMegabyteDocumentsOpenInBoundedTime) {
    QByteArray rich("{\\rtf1\\ansi{\\fonttbl{\\f0 Song;}}\\f0 first line\\par ");
    const QByteArray line("{\\b lesson} text with \\'b7\\'a2 and \\u1234? escapes\\par\n");
    while (rich.size() < 10 * 1024 * 1024)
        rich += line;
    rich += "}";
    QByteArray plain;
    plain.reserve(10 * 1024 * 1024);
    while (plain.size() < 10 * 1024 * 1024)
        plain += "plain words and more words ";
    Open(rich, plain);
    EXPECT_TRUE(Rules().startsWith(QStringLiteral("first line")));
    EXPECT_TRUE(Examples().startsWith(QStringLiteral("plain words")));
}

TEST_F(BadDocuments, ADirectoryInPlaceOfADocumentIsSkipped) {
    QDir().mkpath(dir.Path() + "pho/0.rtf");
    dir.Write(QStringLiteral("pho/0-0.rtf"), RtfWithText("examples"));
    OpenWindow();
    EXPECT_TRUE(Rules().trimmed().isEmpty());
    EXPECT_EQ(Examples().trimmed(), QStringLiteral("examples"));
}

} // namespace
