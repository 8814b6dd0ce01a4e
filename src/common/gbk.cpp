#include "common/gbk.h"

#include <QSysInfo>

#include <algorithm>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace {

bool isAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Unpaired surrogates have no encoding in any character set; they become U+FFFD
// so that the converters below always see well-formed UTF-16.
QString withoutLoneSurrogates(QStringView text)
{
    QString result = text.toString();
    for (qsizetype i = 0; i < result.size(); ++i) {
        const QChar c = result[i];
        if (c.isHighSurrogate() && i + 1 < result.size() && result[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            result[i] = QChar::ReplacementCharacter;
    }
    return result;
}

// U+FFFD in GB18030, written for a character that cannot be converted.
constexpr char replacementBytes[] = "\x84\x31\xA4\x37";

#ifdef Q_OS_WIN

// GB18030 (54936) where Windows has it, as every Windows since Vista does.
// Where it is missing (wine has none) GBK itself (936) stands in: it reads and
// writes every GBK character alike, and the characters past the Basic
// Multilingual Plane are counted here as GB18030 counts them. A character of
// the plane beyond GBK is written as GB18030's U+FFFD, so that text still
// parses as GB18030 sequences.
UINT codePage()
{
    static const UINT page = IsValidCodePage(54936) ? 54936 : 936;
    return page;
}

bool gbkOnly()
{
    return codePage() != 54936;
}

// Code page 936 writes the euro sign as the single byte 0x80, which is no
// GBK sequence (every byte past ASCII begins a pair); GB18030 has it at A2E3.
constexpr char16_t euro = 0x20AC;
constexpr char euroBytes[] = "\xA2\xE3";

// Converts with the code page; false when a character had no form in it.
bool convert(QStringView text, QByteArray &bytes)
{
    if (gbkOnly() && text.contains(QChar(euro)))
        return false;
    const auto source = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = int(text.size());
    // The code page 54936 takes no flags and no default character.
    const DWORD flags = gbkOnly() ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL *defaulted = gbkOnly() ? &usedDefault : nullptr;
    const int size
        = WideCharToMultiByte(codePage(), flags, source, length, nullptr, 0, nullptr, defaulted);
    bytes.resize(size);
    WideCharToMultiByte(codePage(), flags, source, length, bytes.data(), size, nullptr, defaulted);
    return size > 0 && !usedDefault;
}

// GB18030 counts the characters past the Basic Multilingual Plane in four
// bytes from 90 30 81 30 on, the second and fourth byte a decimal digit:
// code 936 lacks them, so they are counted here.
constexpr char32_t firstSupplementary = 0x10000;
constexpr uchar firstSupplementaryLead = 0x90;

void appendSupplementary(char32_t c, QByteArray &bytes)
{
    const uint n = uint(c - firstSupplementary);
    bytes.append(char(firstSupplementaryLead + n / 12600));
    bytes.append(char('0' + n / 1260 % 10));
    bytes.append(char(0x81 + n / 10 % 126));
    bytes.append(char('0' + n % 10));
}

// The character of a four-byte sequence at `at`, or U+FFFD for one within
// the Basic Multilingual Plane, which code page 936 cannot name.
char32_t fourByteCharacter(QByteArrayView bytes, qsizetype at)
{
    const uint n = (uchar(bytes[at]) - firstSupplementaryLead) * 12600u
        + uint(bytes[at + 1] - '0') * 1260u + (uchar(bytes[at + 2]) - 0x81u) * 10u
        + uint(bytes[at + 3] - '0');
    const char32_t c = firstSupplementary + n;
    return uchar(bytes[at]) >= firstSupplementaryLead && c <= 0x10FFFF ? c : char32_t(0xFFFD);
}

bool isFourByteSequence(QByteArrayView bytes, qsizetype at)
{
    const auto digit = [](char b) {
        return b >= '0' && b <= '9';
    };
    return at + 3 < bytes.size() && digit(bytes[at + 1]) && uchar(bytes[at + 2]) >= 0x81
        && uchar(bytes[at + 2]) <= 0xFE && digit(bytes[at + 3]);
}

QByteArray encodeWellFormed(QStringView text)
{
    if (text.isEmpty())
        return {};
    QByteArray bytes;
    if (convert(text, bytes))
        return bytes;
    // Some character has no form in code page 936: one character at a time.
    bytes.clear();
    QByteArray one;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype units = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (text[i] == QChar(euro))
            bytes.append(euroBytes, 2);
        else if (convert(text.mid(i, units), one))
            bytes += one;
        else if (units == 2)
            appendSupplementary(QChar::surrogateToUcs4(text[i], text[i + 1]), bytes);
        else
            bytes.append(replacementBytes, 4);
        i += units;
    }
    return bytes;
}

QString decodeWithCodePage(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    const int length = int(bytes.size());
    const int size = MultiByteToWideChar(codePage(), 0, bytes.data(), length, nullptr, 0);
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(
        codePage(), 0, bytes.data(), length, reinterpret_cast<wchar_t *>(text.data()), size);
    // Code page 936 reads A2E3 as the private-use U+E76C.
    if (gbkOnly())
        text.replace(QChar(0xE76C), QChar(euro));
    return text;
}

QString decodeBytes(QByteArrayView bytes)
{
    if (!gbkOnly())
        return decodeWithCodePage(bytes);
    // The four-byte sequences are read here, the runs between them by the
    // code page.
    QString text;
    qsizetype run = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        if (uchar(bytes[i]) < 0x80) {
            ++i;
        } else if (isFourByteSequence(bytes, i)) {
            text += decodeWithCodePage(bytes.sliced(run, i - run));
            const char32_t c = fourByteCharacter(bytes, i);
            text += QStringView(QChar::fromUcs4(c));
            i += 4;
            run = i;
        } else {
            i += 2; // a pair, or a lone lead byte at the end
        }
    }
    return text + decodeWithCodePage(bytes.sliced(std::min(run, bytes.size())));
}

#else

constexpr const char *utf16Name
    = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";

// One conversion descriptor per direction and thread: opening one loads the
// converter module, and a descriptor must not be shared between threads.
class Converter
{
public:
    Converter(const char *to, const char *from)
        : cd_(iconv_open(to, from))
    { }
    ~Converter()
    {
        if (valid())
            iconv_close(cd_);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    bool valid() const { return cd_ != iconv_t(-1); }

    // Converts as much as fits; returns false with errno set like iconv(3).
    bool convert(const char *&in, size_t &inLeft, char *&out, size_t &outLeft)
    {
        auto input = const_cast<char *>(in);
        const size_t result = iconv(cd_, &input, &inLeft, &out, &outLeft);
        in = input;
        return result != size_t(-1);
    }
    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_;
};

Converter &encoder()
{
    thread_local Converter converter("GB18030", utf16Name);
    return converter;
}

Converter &decoder()
{
    thread_local Converter converter(utf16Name, "GB18030");
    return converter;
}

QByteArray encodeWellFormed(QStringView text)
{
    Converter &converter = encoder();
    if (!converter.valid())
        qFatal("The GB18030 converter of the C library is missing");
    converter.reset();

    // A UTF-16 unit never takes more than 4 bytes, so one buffer is enough.
    QByteArray bytes(text.size() * 4, Qt::Uninitialized);
    const char *in = reinterpret_cast<const char *>(text.utf16());
    size_t inLeft = size_t(text.size()) * 2;
    char *out = bytes.data();
    size_t outLeft = size_t(bytes.size());
    while (inLeft > 0) {
        if (converter.convert(in, inLeft, out, outLeft))
            break;
        const int error = errno;
        if (error == E2BIG || outLeft < 4) { // not expected, but never overrun
            const qsizetype used = out - bytes.data();
            bytes.resize(bytes.size() * 2 + 16);
            out = bytes.data() + used;
            outLeft = size_t(bytes.size() - used);
            if (error == E2BIG)
                continue;
        }
        // A character the converter has no mapping for: write U+FFFD instead and
        // skip the character (one or two units).
        const auto unit = *reinterpret_cast<const char16_t *>(in);
        const size_t skip = QChar::isHighSurrogate(unit) && inLeft >= 4 ? 4 : 2;
        in += skip;
        inLeft -= skip;
        for (int i = 0; i < 4; ++i)
            *out++ = replacementBytes[i];
        outLeft -= 4;
    }
    bytes.truncate(out - bytes.data());
    return bytes;
}

QString decodeBytes(QByteArrayView bytes)
{
    Converter &converter = decoder();
    if (!converter.valid())
        qFatal("The GB18030 converter of the C library is missing");
    converter.reset();

    // Every sequence gives at most as many UTF-16 units as it has bytes.
    QString text(bytes.size(), Qt::Uninitialized);
    const char *in = bytes.data();
    size_t inLeft = size_t(bytes.size());
    char *out = reinterpret_cast<char *>(text.data());
    size_t outLeft = size_t(text.size()) * 2;
    auto put = [&](char16_t unit) {
        *reinterpret_cast<char16_t *>(out) = unit;
        out += 2;
        outLeft -= 2;
    };
    while (inLeft > 0) {
        if (converter.convert(in, inLeft, out, outLeft))
            break;
        const int error = errno;
        if (error == E2BIG || outLeft < 2) { // not expected, but never overrun
            const qsizetype used = out - reinterpret_cast<char *>(text.data());
            text.resize(text.size() * 2 + 8);
            out = reinterpret_cast<char *>(text.data()) + used;
            outLeft = size_t(text.size()) * 2 - size_t(used);
            if (error == E2BIG)
                continue;
        }
        put(QChar::ReplacementCharacter);
        if (error == EINVAL) // truncated sequence at the end
            break;
        // An invalid byte: skip just that one, the next may start a character.
        ++in;
        --inLeft;
        converter.reset();
    }
    text.truncate((out - reinterpret_cast<char *>(text.data())) / 2);
    return text;
}

#endif

QByteArray encodeAny(QStringView text)
{
    for (QChar c : text) {
        if (c.isSurrogate())
            return encodeWellFormed(withoutLoneSurrogates(text));
    }
    return encodeWellFormed(text);
}

// The byte length of the GB18030 sequence starting at `i`. The form tells it:
// a second byte from '0' to '9' marks a four-byte sequence.
int sequenceLength(const QByteArray &bytes, qsizetype i)
{
    if (uchar(bytes[i]) < 0x80)
        return 1;
    if (i + 1 < bytes.size() && bytes[i + 1] >= '0' && bytes[i + 1] <= '9')
        return 4;
    return 2;
}

// The two GBK bytes of every character of the Basic Multilingual Plane past
// ASCII (first byte high), or 0 where GB18030 needs four bytes: a character GBK
// lacks. Made once, from one conversion of the whole plane, so the table says
// exactly what the converter says; after that a character costs a lookup, not
// a call into the converter (the export meets one in nearly every value).
class BmpTable
{
public:
    static const BmpTable &instance()
    {
        static const BmpTable table;
        return table;
    }
    quint16 operator[](char16_t c) const { return codes_[c]; }

private:
    static constexpr char16_t first = 0x80;
    static bool convertible(char32_t c) { return c < 0xD800 || c > 0xDFFF; }

    BmpTable()
        : codes_(0x10000, 0)
    {
        QString plane;
        plane.reserve(0x10000);
        for (char32_t c = first; c <= 0xFFFF; ++c)
            if (convertible(c))
                plane.append(QChar(char16_t(c)));
        const QByteArray bytes = encodeWellFormed(plane);
        qsizetype at = 0;
        for (char32_t c = first; c <= 0xFFFF && at < bytes.size(); ++c) {
            if (!convertible(c))
                continue;
            const int length = sequenceLength(bytes, at);
            if (length == 2 && at + 1 < bytes.size())
                codes_[c] = quint16(uchar(bytes[at]) << 8 | uchar(bytes[at + 1]));
            at += length;
        }
    }

    std::vector<quint16> codes_;
};

// Calls f(position, utf16Units, gbkBytes) for every character of the text, in
// order. A surrogate pair is one character; so is a lone surrogate.
template<class F>
void forEachCharacter(QStringView text, F f)
{
    const QByteArray bytes = encodeAny(text);
    qsizetype at = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype units
            = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                               : 1;
        const int length = at < bytes.size() ? sequenceLength(bytes, at) : 1;
        f(i, units, length);
        i += units;
        at += length;
    }
}

} // namespace

namespace Gbk {

QByteArray encode(QStringView text)
{
    if (isAscii(text))
        return text.toLatin1();
    return encodeAny(text);
}

QString decode(QByteArrayView bytes)
{
    bool ascii = true;
    for (char c : bytes) {
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes);
    return decodeBytes(bytes);
}

bool canEncode(QStringView text)
{
    if (isAscii(text))
        return true;
    QByteArray bytes;
    return appendGbk(text, bytes);
}

namespace {

// The bytes of appendGbk(), for any byte buffer with size(), resize() and data().
template<typename Bytes>
bool appendGbkTo(QStringView text, Bytes &out)
{
    if (isAscii(text)) {
        const size_t at = size_t(out.size());
        out.resize(at + size_t(text.size()));
        char *to = out.data() + at;
        for (const QChar c : text)
            *to++ = char(c.unicode());
        return true;
    }
    // A surrogate is half of a character outside the plane (or of none): GBK
    // has no such character.
    const BmpTable &table = BmpTable::instance();
    const size_t at = size_t(out.size());
    out.resize(at + size_t(text.size()) * 2);
    char *to = out.data() + at;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            *to++ = char(u);
            continue;
        }
        const quint16 code = table[u];
        if (code == 0) {
            out.resize(at);
            return false;
        }
        *to++ = char(code >> 8);
        *to++ = char(code & 0xFF);
    }
    out.resize(size_t(to - out.data()));
    return true;
}

} // namespace

bool appendGbk(QStringView text, QByteArray &out)
{
    return appendGbkTo(text, out);
}

bool appendGbk(QStringView text, std::string &out)
{
    return appendGbkTo(text, out);
}

int byteLength(QStringView text)
{
    if (isAscii(text))
        return int(text.size());
    // Outside GBK a character takes four bytes; so does U+FFFD, what a lone
    // surrogate becomes, and a surrogate pair counts 4 once.
    const BmpTable &table = BmpTable::instance();
    int length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80)
            length += 1;
        else if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            length += 4;
            ++i;
        } else
            length += QChar::isSurrogate(u) || table[u] == 0 ? 4 : 2;
    }
    return length;
}

QString lastBytes(QStringView text, int n)
{
    if (n <= 0)
        return {};
    if (isAscii(text))
        return text.right(n).toString();
    std::vector<std::pair<qsizetype, int>> characters; // position, bytes
    forEachCharacter(text, [&](qsizetype position, qsizetype, int bytes) {
        characters.emplace_back(position, bytes);
    });
    qsizetype start = text.size();
    int used = 0;
    for (auto it = characters.rbegin(); it != characters.rend(); ++it) {
        if (used + it->second > n)
            break;
        used += it->second;
        start = it->first;
    }
    return text.mid(start).toString();
}

QString firstBytes(QStringView text, int n)
{
    if (n <= 0)
        return {};
    if (isAscii(text))
        return text.left(n).toString();
    qsizetype end = 0;
    int used = 0;
    bool full = false;
    forEachCharacter(text, [&](qsizetype position, qsizetype units, int bytes) {
        if (full || used + bytes > n) {
            full = true;
            return;
        }
        used += bytes;
        end = position + units;
    });
    return text.left(end).toString();
}

} // namespace Gbk
