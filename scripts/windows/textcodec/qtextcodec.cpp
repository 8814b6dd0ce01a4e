#include <QtCore5Compat/QTextCodec>

#include <array>

QTextCodec *QTextCodec::forEncoding(QStringConverter::Encoding encoding)
{
    // One codec per encoding for the program's lifetime: callers keep the
    // pointers and never delete them.
    static std::array<QTextCodec, QStringConverter::LastEncoding + 1> codecs = [] {
        std::array<QTextCodec, QStringConverter::LastEncoding + 1> all {
            QTextCodec(QStringConverter::Utf8), QTextCodec(QStringConverter::Utf16),
            QTextCodec(QStringConverter::Utf16LE), QTextCodec(QStringConverter::Utf16BE),
            QTextCodec(QStringConverter::Utf32), QTextCodec(QStringConverter::Utf32LE),
            QTextCodec(QStringConverter::Utf32BE), QTextCodec(QStringConverter::Latin1),
            QTextCodec(QStringConverter::System)};
        return all;
    }();
    return &codecs[encoding];
}

QTextCodec *QTextCodec::codecForName(const QByteArray &name)
{
    const auto encoding = QStringConverter::encodingForName(name.constData());
    return encoding ? forEncoding(*encoding) : nullptr;
}

QTextCodec *QTextCodec::codecForName(const char *name)
{
    return codecForName(QByteArray(name));
}

QTextCodec *QTextCodec::codecForLocale()
{
    return forEncoding(QStringConverter::System);
}

QString QTextCodec::toUnicode(const QByteArray &bytes) const
{
    QStringDecoder decoder(encoding_);
    return decoder(bytes);
}

QString QTextCodec::toUnicode(const char *chars) const
{
    return toUnicode(QByteArray(chars));
}

QByteArray QTextCodec::fromUnicode(QStringView text) const
{
    QStringEncoder encoder(encoding_);
    return encoder(text);
}

QByteArray QTextCodec::name() const
{
    return QStringConverter::nameForEncoding(encoding_);
}
