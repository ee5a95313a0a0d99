// The settings file: profile semantics that stored files rely on, and the failures that must
// stay silent.
#include "themes/ProfileIni.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <cstdint>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using sonavix::profile::FindValue;
using sonavix::profile::ParseInt;
using sonavix::profile::ReadInt;
using sonavix::profile::WithValue;
using sonavix::profile::WriteString;

QByteArray Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void Spit(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// A file as another system's editor and profile functions leave it.
const QByteArray kWindowsFile = "; settings\r\n"
                                "[Window]\r\n"
                                "Left = 10\r\n"
                                "\r\n"
                                "[SKIN]\r\n"
                                "  Default = 5  \r\n"
                                "Other=x\r\n"
                                "\r\n"
                                "[Recent]\r\n"
                                "default=9\r\n";

TEST(ProfileText, NamesMatchWithoutCaseAndValuesAreTrimmed) {
    EXPECT_EQ(FindValue(kWindowsFile, "Skin", "default"), QByteArray("5"));
    EXPECT_EQ(FindValue(kWindowsFile, "skin", "DEFAULT"), QByteArray("5"));
    EXPECT_EQ(FindValue(kWindowsFile, "Window", "left"), QByteArray("10"));
    EXPECT_EQ(FindValue(kWindowsFile, "Recent", "default"), QByteArray("9"));
    EXPECT_EQ(FindValue(kWindowsFile, "Skin", "Left"), std::nullopt);
    EXPECT_EQ(FindValue(kWindowsFile, "Nowhere", "default"), std::nullopt);
}

TEST(ProfileText, LineEndsCommentsQuotesAndOddLines) {
    EXPECT_EQ(FindValue("[Skin]\rdefault=3\r", "Skin", "default"), QByteArray("3"));
    EXPECT_EQ(FindValue("[Skin]\ndefault=3", "Skin", "default"), QByteArray("3"));
    EXPECT_EQ(FindValue("\xEF\xBB\xBF[Skin]\r\ndefault=2\r\n", "Skin", "default"), QByteArray("2"));
    EXPECT_EQ(FindValue("[ Skin ]\n;default=1\ndefault=\"4\"\n", "Skin", "default"),
              QByteArray("4"));
    EXPECT_EQ(FindValue("[Skin]\ndefault\n", "Skin", "default"), QByteArray(""));
    // Keys before any section belong to no section; a second [Skin] is not looked at.
    EXPECT_EQ(FindValue("default=1\n[Skin]\n[Skin]\ndefault=2\n", "Skin", "default"), std::nullopt);
}

TEST(ProfileText, ParseIntTakesTheLeadingNumber) {
    EXPECT_EQ(ParseInt("4"), 4);
    EXPECT_EQ(ParseInt(" \t+4"), 4);
    EXPECT_EQ(ParseInt("-3"), -3);
    EXPECT_EQ(ParseInt("4 ; comment"), 4);
    EXPECT_EQ(ParseInt("07"), 7);
    EXPECT_EQ(ParseInt("abc"), 0);
    EXPECT_EQ(ParseInt("-"), 0);
    EXPECT_EQ(ParseInt("4294967297"), 1); // wraps as a 32-bit conversion does
}

TEST(ProfileText, WritingAKeyKeepsEveryOtherByte) {
    QByteArray expected = kWindowsFile;
    expected.replace("  Default = 5  ", "  Default = 4  ");
    EXPECT_EQ(WithValue(kWindowsFile, "Skin", "default", "4"), expected);
    EXPECT_EQ(WithValue("[Skin]\ndefault\n", "Skin", "default", "2"), "[Skin]\ndefault=2\n");
    EXPECT_EQ(WithValue("[Skin]\ndefault=\"5\"\n", "Skin", "default", "2"), "[Skin]\ndefault=2\n");
}

TEST(ProfileText, NewKeysAndSectionsFollowTheFile) {
    // A new key joins its section after the last entry, before blank lines and comments.
    EXPECT_EQ(WithValue("[Skin]\r\nA=1\r\n\r\n; x\r\n[B]\r\n", "Skin", "default", "3"),
              "[Skin]\r\nA=1\r\ndefault=3\r\n\r\n; x\r\n[B]\r\n");
    EXPECT_EQ(WithValue("[Skin]", "Skin", "default", "3"), "[Skin]\ndefault=3\n");
    EXPECT_EQ(WithValue("[A]\r\nx=1", "Skin", "default", "3"),
              "[A]\r\nx=1\r\n[Skin]\r\ndefault=3\r\n");
    EXPECT_EQ(WithValue("", "Skin", "default", "1"), "[Skin]\ndefault=1\n");
    // Written into the first [Skin], the one a read finds.
    const QByteArray twice = "[Skin]\n[Skin]\ndefault=2\n";
    EXPECT_EQ(FindValue(WithValue(twice, "Skin", "default", "5"), "Skin", "default"),
              QByteArray("5"));
}

// Whatever the text, a write reads back, a second identical write changes nothing, and the
// only one value's bytes may go.
TEST(ProfileText, RandomTextsRoundTrip) {
    const QByteArray pieces[] = {"[",
                                 "]",
                                 "=",
                                 ";",
                                 "\"",
                                 " ",
                                 "\r",
                                 "\n",
                                 "\r\n",
                                 "Skin",
                                 "sKIN",
                                 "default",
                                 "4",
                                 "7",
                                 "\xff",
                                 "[Skin]",
                                 "[Other]",
                                 "DEFAULT=",
                                 QByteArray(1, '\0')};
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int round = 0; round < 3000; ++round) {
        QByteArray text;
        for (std::uint32_t i = next(30); i > 0; --i)
            text += pieces[next(std::size(pieces))];
        const QByteArray once = WithValue(text, "Skin", "default", "4");
        ASSERT_EQ(FindValue(once, "skin", "DEFAULT"), QByteArray("4"))
            << text.toHex().toStdString();
        ASSERT_EQ(WithValue(once, "Skin", "default", "4"), once);
        // What differs is one value at most: no line of the original may be lost.
        qsizetype head = 0;
        while (head < text.size() && head < once.size() && text[head] == once[head])
            ++head;
        qsizetype tail = 0;
        while (tail < text.size() - head && tail < once.size() - head &&
               text[text.size() - 1 - tail] == once[once.size() - 1 - tail])
            ++tail;
        const QByteArray lost = text.mid(head, text.size() - head - tail);
        ASSERT_FALSE(lost.contains('\n') || lost.contains('\r')) << text.toHex().toStdString();
    }
}

class ProfileFile : public ::testing::Test {
  protected:
    QTemporaryDir m_dir;
    QString Path(const char* name = "SetInfo.ini") const { return m_dir.filePath(name); }
};

TEST_F(ProfileFile, MissingFileReadsDefaultAndIsCreatedByTheFirstWrite) {
    EXPECT_EQ(ReadInt("Skin", "default", 1, Path()), 1);
    EXPECT_FALSE(QFile::exists(Path())); // reading never creates it
    ASSERT_TRUE(WriteString("Skin", "default", "4", Path()));
    EXPECT_EQ(Slurp(Path()), "[Skin]\ndefault=4\n");
    EXPECT_EQ(ReadInt("Skin", "default", 1, Path()), 4);
    ASSERT_TRUE(WriteString("Skin", "default", "6", Path()));
    EXPECT_EQ(Slurp(Path()), "[Skin]\ndefault=6\n");
}

TEST_F(ProfileFile, WindowsFileSurvivesAWrite) {
    Spit(Path(), kWindowsFile);
    EXPECT_EQ(ReadInt("Skin", "default", 1, Path()), 5);
    ASSERT_TRUE(WriteString("Skin", "default", "2", Path()));
    QByteArray expected = kWindowsFile;
    expected.replace("= 5 ", "= 2 ");
    EXPECT_EQ(Slurp(Path()), expected);
}

TEST_F(ProfileFile, EmptyOrGarbageValues) {
    Spit(Path(), "[Skin]\ndefault=\n");
    EXPECT_EQ(ReadInt("Skin", "default", 1, Path()), 1);
    Spit(Path(), "[Skin]\ndefault=banana\n");
    EXPECT_EQ(ReadInt("Skin", "default", 1, Path()), 0);
}

TEST_F(ProfileFile, BinaryContentIsHarmlessAndKept) {
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 7919 + 13) & 0xff));
    Spit(Path(), junk);
    const int value = ReadInt("Skin", "default", 1, Path());
    (void)value; // anything, as long as nothing breaks
    ASSERT_TRUE(WriteString("Skin", "default", "3", Path()));
    const QByteArray after = Slurp(Path());
    EXPECT_TRUE(after.startsWith(junk));
    EXPECT_EQ(ReadInt("Skin", "default", 1, Path()), 3);
}

TEST_F(ProfileFile, WideFilesStayWide) {
    const QString text = QStringLiteral("; 设置\r\n[Skin]\r\ndefault=5\r\n");
    for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        QStringEncoder encode(encoding, QStringConverter::Flag::WriteBom);
        Spit(Path(), encode(text));
        EXPECT_EQ(ReadInt("Skin", "default", 1, Path()), 5);
        ASSERT_TRUE(WriteString("Skin", "default", "2", Path()));
        QStringEncoder expect(encoding, QStringConverter::Flag::WriteBom);
        EXPECT_EQ(Slurp(Path()), QByteArray(expect(QString(text).replace("=5", "=2"))));
    }
    // Wide text that does not decode cleanly is read as far as it goes but never rewritten.
    Spit(Path(), QByteArray("\xFF\xFE[\0S\0", 6) + QByteArray(1, '\xD8'));
    EXPECT_FALSE(WriteString("Skin", "default", "2", Path()));
    EXPECT_EQ(QFileInfo(Path()).size(), 7);
}

TEST_F(ProfileFile, WhatCannotBeReadOrWrittenIsSilent) {
    // A directory where the file should be.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("SetInfo.ini"));
    EXPECT_EQ(ReadInt("Skin", "default", 1, Path()), 1);
    EXPECT_FALSE(WriteString("Skin", "default", "2", Path()));
    EXPECT_TRUE(QFileInfo(Path()).isDir());

    // A parent that is a file: unwritable even with every permission.
    Spit(Path("plain"), "x");
    EXPECT_FALSE(WriteString("Skin", "default", "2", Path("plain") + "/SetInfo.ini"));
    EXPECT_EQ(ReadInt("Skin", "default", 1, Path("plain") + "/SetInfo.ini"), 1);

    // A pipe must not block start-up.
    const QString fifo = Path("fifo.ini");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(ReadInt("Skin", "default", 1, fifo), 1);
    EXPECT_FALSE(WriteString("Skin", "default", "2", fifo));
}

TEST_F(ProfileFile, OversizedFileIsNeitherReadNorRewritten) {
    QByteArray big = "[Skin]\ndefault=3\n";
    big.append(QByteArray(sonavix::profile::kMaxFileSize, ';'));
    Spit(Path(), big);
    EXPECT_EQ(ReadInt("Skin", "default", 1, Path()), 1);
    EXPECT_FALSE(WriteString("Skin", "default", "2", Path()));
    EXPECT_EQ(QFileInfo(Path()).size(), big.size());
}

TEST_F(ProfileFile, ReadOnlyPlaces) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    // A read-only directory: no file can be created in it.
    const QString ro = Path("ro");
    ASSERT_TRUE(QDir().mkdir(ro));
    ASSERT_EQ(chmod(QFile::encodeName(ro).constData(), 0500), 0);
    EXPECT_FALSE(WriteString("Skin", "default", "2", ro + "/SetInfo.ini"));
    EXPECT_EQ(ReadInt("Skin", "default", 1, ro + "/SetInfo.ini"), 1);
    chmod(QFile::encodeName(ro).constData(), 0700);

    // An unreadable file is neither read nor replaced.
    Spit(Path(), "[Skin]\ndefault=5\n");
    ASSERT_EQ(chmod(QFile::encodeName(Path()).constData(), 0200), 0);
    EXPECT_EQ(ReadInt("Skin", "default", 1, Path()), 1);
    EXPECT_FALSE(WriteString("Skin", "default", "2", Path()));
    chmod(QFile::encodeName(Path()).constData(), 0600);
    EXPECT_EQ(Slurp(Path()), "[Skin]\ndefault=5\n");
}

TEST_F(ProfileFile, NamesThatWouldBreakTheFileAreRefused) {
    EXPECT_FALSE(WriteString("Skin", "default", "1\n[Evil]", Path()));
    EXPECT_FALSE(WriteString("Sk]in", "default", "1", Path()));
    EXPECT_FALSE(WriteString("Skin", "a=b", "1", Path()));
    EXPECT_FALSE(WriteString("", "default", "1", Path()));
    EXPECT_FALSE(QFile::exists(Path()));
}

} // namespace
