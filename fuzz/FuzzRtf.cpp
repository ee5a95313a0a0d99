// libFuzzer entry over the rich-text reader: arbitrary bytes become a document, as a lesson
// pane shows them. The bytes are also read with an RTF opening forced, so that mutations spend
// their time inside the rich-text grammar rather than in the plain-text fallback.
#include "rtf/RtfReader.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // Documents need fonts, and fonts need a GUI application; the offscreen platform has no
    // display to open.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument doc;
    sonavix::ReadRtf(bytes, doc);
    QTextDocument forced;
    sonavix::ReadRtf(QByteArray("{\\rtf1 ") + bytes, forced);
    // Laying the document out is what the pane does next; it must cope with what was built.
    forced.setTextWidth(400);
    (void)forced.size();
    return 0;
}
