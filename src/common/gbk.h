#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <string>

// The program counts text in GBK bytes wherever widths are measured in
// characters (a Chinese character is two bytes). Encoding is GB18030, which is
// byte for byte GBK for every character GBK has and still holds the others.
namespace Gbk {

// Encodes to GB18030. Never fails: every Unicode character has a GB18030 form.
QByteArray encode(QStringView text);

// Decodes GB18030 (and so GBK). Invalid sequences become U+FFFD.
QString decode(QByteArrayView bytes);

// Whether every character of the text has a two-byte-or-less GBK form.
bool canEncode(QStringView text);

// Appends the text's GBK bytes when every character has a GBK form, in one
// conversion; false, with `out` as it was, when one has not.
bool appendGbk(QStringView text, QByteArray &out);
bool appendGbk(QStringView text, std::string &out);

// The length of the text in GBK bytes (a character outside GBK counts 4).
int byteLength(QStringView text);

// The longest tail of the text that fits into n GBK bytes, never splitting a
// character.
QString lastBytes(QStringView text, int n);

// The longest head of the text that fits into n GBK bytes, never splitting a
// character.
QString firstBytes(QStringView text, int n);

} // namespace Gbk
