#include "rtf/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <vector>

namespace sonavix::rtf {
namespace {

const char* IconvName(int codePage) {
    switch (codePage) {
    case 437:
        return "CP437";
    case 850:
        return "CP850";
    case 874:
        return "CP874";
    case 932:
        return "CP932";
    case 936:
        return "GBK";
    case 949:
        return "CP949";
    case 950:
        return "BIG5";
    case 1250:
        return "CP1250";
    case 1251:
        return "CP1251";
    case 1253:
        return "CP1253";
    case 1254:
        return "CP1254";
    case 1255:
        return "CP1255";
    case 1256:
        return "CP1256";
    case 1257:
        return "CP1257";
    case 1258:
        return "CP1258";
    case 10000:
        return "MACINTOSH";
    case 54936:
        return "GB18030";
    case 65001:
        return "UTF-8";
    default:
        return "CP1252";
    }
}

// One converter per code page and thread, kept for the thread's life: documents switch code
// pages often (once per font change) and opening a converter is not free.
class Converters {
  public:
    ~Converters() {
        for (auto& [page, cd] : m_open)
            if (cd != kInvalid)
                iconv_close(cd);
    }
    iconv_t Get(int codePage) {
        auto it = m_open.find(codePage);
        if (it == m_open.end())
            it = m_open.emplace(codePage, iconv_open("UTF-8", IconvName(codePage))).first;
        return it->second;
    }

  private:
    static inline const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);
    std::map<int, iconv_t> m_open;
};

bool IsAscii(const QByteArray& bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

QString DecodeCodePage(const QByteArray& bytes, int codePage) {
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes);
    thread_local Converters converters;
    iconv_t cd = converters.Get(codePage);
    if (cd == reinterpret_cast<iconv_t>(-1))
        cd = converters.Get(1252);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QString::fromLatin1(bytes);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    std::vector<char> out(static_cast<size_t>(bytes.size()) * 4 + 16);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* dst = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            const size_t used = static_cast<size_t>(dst - out.data());
            out.resize(out.size() * 2);
            dst = out.data() + used;
            outLeft = out.size() - used;
            continue;
        }
        // EILSEQ or EINVAL (a truncated sequence at the end): replace one byte and go on.
        if (outLeft < 3) {
            const size_t used = static_cast<size_t>(dst - out.data());
            out.resize(out.size() + 16);
            dst = out.data() + used;
            outLeft = out.size() - used;
        }
        for (char c : {kReplacement[0], kReplacement[1], kReplacement[2]})
            *dst++ = c;
        outLeft -= 3;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(dst - out.data()));
}

int CodePageOfCharset(int charset, int documentCodePage) {
    switch (charset) {
    case 0:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    default:
        return documentCodePage;
    }
}

} // namespace sonavix::rtf
