// The symbol catalogue keeps every symbol's number, list position and font code; the lesson file
// names, whole-string lookup, and the conversion of dialog units.
#include "lesson/DialogUnits.h"
#include "lesson/SymbolCatalogue.h"

#include <gtest/gtest.h>

namespace {

struct Expected {
    int row;
    int column;
    const char* code;
};

// Number = index. A symbol's number names its lesson files (pho/n.*) and its code is the glyph the
// symbol font draws for it, so neither may move when the catalogue is edited.
constexpr Expected kTable[] = {
    {0, 1, "i"},  {0, 2, "e"},  {0, 3, "A"},   {0, 4, "Q"},  {0, 5, "C"},  {0, 6, "u"},
    {0, 7, "E"},  {1, 1, "i:"}, {1, 2, "B:"},  {1, 3, "C:"}, {1, 4, "u:"}, {1, 5, "E:"},
    {2, 1, "ei"}, {2, 2, "ai"}, {2, 3, "Ci"},  {2, 4, "iE"}, {2, 5, "ZE"}, {2, 6, "CE"},
    {2, 7, "uE"}, {2, 8, "Eu"}, {2, 9, "au"},  {3, 1, "p"},  {3, 2, "t"},  {3, 3, "k"},
    {3, 4, "f"},  {3, 5, "W"},  {3, 6, "s"},   {3, 7, "F"},  {3, 8, "h"},  {3, 9, "tF"},
    {4, 1, "b"},  {4, 2, "d"},  {4, 3, "g"},   {4, 4, "v"},  {4, 5, "T"},  {4, 6, "z"},
    {4, 7, "V"},  {4, 8, "m"},  {4, 9, "n"},   {4, 10, "N"}, {4, 11, "l"}, {4, 12, "r"},
    {4, 13, "j"}, {4, 14, "w"}, {4, 15, "dV"},
};

TEST(Catalogue, EveryNumberKeepsItsRowColumnAndCode) {
    const QStringList codes = sonavix::SymbolCodes();
    ASSERT_EQ(codes.size(), 45);
    int number = 0;
    for (int row = 0; row < sonavix::kRowCount; ++row) {
        const auto rowCodes = sonavix::SymbolRows()[row].codes;
        for (size_t i = 0; i < rowCodes.size(); ++i, ++number) {
            ASSERT_LT(number, 45);
            EXPECT_EQ(kTable[number].row, row) << number;
            EXPECT_EQ(kTable[number].column, static_cast<int>(i) + 1) << number;
            EXPECT_STREQ(rowCodes[i], kTable[number].code) << number;
            EXPECT_EQ(codes[number], QLatin1String(kTable[number].code));
        }
    }
    EXPECT_EQ(number, 45);
    EXPECT_EQ(QString::fromUtf8(sonavix::SymbolRows()[4].label), QStringLiteral("浊辅音："));
}

TEST(Catalogue, LookupComparesWholeCaseSensitiveStrings) {
    const QStringList codes = sonavix::SymbolCodes();
    EXPECT_EQ(sonavix::FindSymbol(codes, "C"), 4);
    EXPECT_EQ(sonavix::FindSymbol(codes, "C:"), 9);
    EXPECT_EQ(sonavix::FindSymbol(codes, "Ci"), 14);
    EXPECT_EQ(sonavix::FindSymbol(codes, "CE"), 17);
    EXPECT_EQ(sonavix::FindSymbol(codes, "i"), 0);
    EXPECT_EQ(sonavix::FindSymbol(codes, "i:"), 7);
    EXPECT_EQ(sonavix::FindSymbol(codes, "iE"), 15);
    EXPECT_EQ(sonavix::FindSymbol(codes, "T"), 34);
    EXPECT_EQ(sonavix::FindSymbol(codes, "t"), 22);
    EXPECT_EQ(sonavix::FindSymbol(codes, "W"), 25);
    EXPECT_EQ(sonavix::FindSymbol(codes, "w"), 43);
    EXPECT_EQ(sonavix::FindSymbol(codes, "c"), -1);
    EXPECT_EQ(sonavix::FindSymbol(codes, "i: "), -1);
    EXPECT_EQ(sonavix::FindSymbol(codes, ""), -1);
}

TEST(Catalogue, LessonFileNames) {
    EXPECT_EQ(sonavix::RecordingFile(0), "pho/0.mp3");
    EXPECT_EQ(sonavix::RulesFile(0), "pho/0.rtf");
    EXPECT_EQ(sonavix::ExamplesFile(0), "pho/0-0.rtf");
    EXPECT_EQ(sonavix::ExampleRecordingFile(0), "pho/0-0.mp3");
    EXPECT_EQ(sonavix::RecordingFile(12), "pho/12.mp3");
    EXPECT_EQ(sonavix::ExamplesFile(12), "pho/12-12.rtf");
    EXPECT_EQ(sonavix::ExampleRecordingFile(44), "pho/44-44.mp3");
    EXPECT_EQ(sonavix::RulesFile(44), "pho/44.rtf");
}

TEST(DialogUnits, ConvertLikeTheDialogManager) {
    EXPECT_EQ(sonavix::MulDiv(613, 6, 4), 920); // 919.5 rounds up
    EXPECT_EQ(sonavix::MulDiv(457, 12, 8), 686);
    EXPECT_EQ(sonavix::MulDiv(-5, 3, 2), -8);
    EXPECT_EQ(sonavix::MulDiv(7, 3, 0), -1);
    EXPECT_EQ(sonavix::MulDiv(1 << 30, 8, 4), -1); // does not fit: the overflow value
    const sonavix::DialogBaseUnits simsun{6, 12};
    EXPECT_EQ(sonavix::DluToPixels(simsun, 613, 457), QSize(920, 686));
    // Position and size convert separately: a 54-unit button is 81 pixels wherever it stands.
    EXPECT_EQ(sonavix::DluToPixels(simsun, 122, 104, 54, 14), QRect(183, 156, 81, 21));
    EXPECT_EQ(sonavix::DluToPixels(simsun, 181, 104, 54, 14).width(), 81);
}

} // namespace
