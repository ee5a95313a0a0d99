#pragma once
// What can be practised for a symbol: the symbol's own recording, and each word of its example
// recording (the span the word index pho/n-n.json gives), and the model sound of each.
#include "common/ProgramPaths.h"
#include "practice/AnalysedSound.h"

#include <QString>

#include <vector>

namespace sonavix::practice {

struct PracticeItem {
    QString key;   // names the item's attempts: "12", "12-cake"
    QString title; // what the chooser shows
    bool word = false;
    double start = 0.0, end = 0.0; // s within the example recording, for a word
    QString modelFile;             // a recording of its own (a drill word's), played whole
};

// The symbol's own recording as an item.
PracticeItem SymbolItem(int symbol);

// The symbol first, then its example words in the order they are said; the words are left out
// when the index is missing or unreadable.
std::vector<PracticeItem> ItemsOf(const ProgramPaths& paths, int symbol);

// The model's samples (mono, the recording's own rate): the whole symbol recording, or the
// word's span with a little room either side. Null when the recording cannot be read.
SoundPtr LoadModel(const ProgramPaths& paths, int symbol, const PracticeItem& item);

} // namespace sonavix::practice
