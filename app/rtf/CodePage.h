#pragma once
// Byte text in the code pages rich-text documents name (\ansicpgN, \fcharsetN) to Unicode.
//
// Input: bytes and a code page number (936 = GBK, 1252 = Western, 65001 = UTF-8, ...).
// Output: the text; a byte sequence that is not valid in the code page becomes one U+FFFD per
// offending byte. Unknown code pages are read as 1252.

#include <QByteArray>
#include <QString>

namespace sonavix::rtf {

QString DecodeCodePage(const QByteArray& bytes, int codePage);

// The code page of a font character set (\fcharsetN); documentCodePage for the default set
// (1) and for sets without a code page of their own.
int CodePageOfCharset(int charset, int documentCodePage);

} // namespace sonavix::rtf
