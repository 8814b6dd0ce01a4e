#pragma once

#include <QByteArrayView>
#include <QString>

// Text files from outside (CSV, HTML tables) carry no reliable encoding mark.
// They are read as UTF-8 or UTF-16 after a byte-order mark, as UTF-8 when the
// bytes are valid UTF-8, and otherwise as GBK (GB18030), the encoding Chinese
// Windows writes; the byte-order mark is not part of the text.
QString decodeExternalText(QByteArrayView bytes);
