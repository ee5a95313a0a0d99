#pragma once
// Rich-text (RTF) reader: builds a QTextDocument from the bytes of a document.
//
// Input: any bytes. A document that opens with "{\rtf" is read as rich text (groups, font and
// colour tables, character and paragraph formatting, \uN, \'hh in the document's code pages);
// anything else is shown as plain text (UTF-8 when valid, otherwise the Chinese ANSI code page).
// Output: doc is cleared and refilled. Time and memory grow linearly with the input; nesting
// depth is not limited by the stack.

#include <QByteArray>

class QTextDocument;

namespace sonavix {

// Returns true when the bytes were read as rich text, false when they were shown as plain text.
bool ReadRtf(const QByteArray& bytes, QTextDocument& doc);

} // namespace sonavix
