#include "support/pdf_text.h"

#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocumentFragment>

namespace PdfText {

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Simplified-form radicals (CJK Radicals Supplement) that fonts share with
// common characters. Unlike the Kangxi radicals they have no compatibility
// decomposition, so NFKC leaves them; these are the ones a table is likely to
// hold.
const QHash<char32_t, char32_t> &simplifiedRadicals()
{
    static const QHash<char32_t, char32_t> map {
        {0x2EA0, 0x6C11}, // 民
        {0x2EC4, 0x897F}, // 西
        {0x2EC5, 0x89C1}, // 见
        {0x2EC8, 0x8BA0}, // 讠
        {0x2EC9, 0x8D1D}, // 贝
        {0x2ECB, 0x8F66}, // 车
        {0x2ED0, 0x9485}, // 钅
        {0x2ED3, 0x957F}, // 长
        {0x2ED4, 0x95E8}, // 门
        {0x2ED8, 0x9752}, // 青
        {0x2ED9, 0x97E6}, // 韦
        {0x2EDA, 0x9875}, // 页
        {0x2EDB, 0x98CE}, // 风
        {0x2EDC, 0x98DE}, // 飞
        {0x2EDF, 0x9963}, // 饣
        {0x2EE2, 0x9A6C}, // 马
        {0x2EE3, 0x9AA8}, // 骨
        {0x2EE4, 0x9B3C}, // 鬼
        {0x2EE5, 0x9C7C}, // 鱼
        {0x2EE6, 0x9E1F}, // 鸟
        {0x2EE7, 0x5364}, // 卤
        {0x2EE8, 0x9EA6}, // 麦
        {0x2EE9, 0x9EC4}, // 黄
        {0x2EEC, 0x9F50}, // 齐
        {0x2EEE, 0x9F7F}, // 齿
        {0x2EF0, 0x9F99}, // 龙
    };
    return map;
}

QString normalised(const QString &text)
{
    QString result;
    for (const char32_t c : text.normalized(QString::NormalizationForm_KC).toUcs4()) {
        const char32_t mapped = simplifiedRadicals().value(c, c);
        result += QString::fromUcs4(&mapped, 1);
    }
    return result;
}

} // namespace

bool available()
{
    for (const char *tool : {"pdfinfo", "pdftotext", "pdftoppm"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    return true;
}

QList<QSizeF> pageSizes(const QString &pdf)
{
    // pdfinfo lists each page's size when given a page range.
    const QString info = run(QStringLiteral("pdfinfo"),
        {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("100000"),
            pdf});
    static const QRegularExpression line(
        QStringLiteral(R"(Page\s+\d+\s+size:\s+([\d.]+)\s+x\s+([\d.]+)\s+pts)"));
    QList<QSizeF> sizes;
    for (auto it = line.globalMatch(info); it.hasNext();) {
        const auto match = it.next();
        sizes.append(QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()));
    }
    return sizes;
}

QStringList pages(const QString &pdf)
{
    QStringList pages = normalised(run("pdftotext", {"-layout", "-enc", "UTF-8", pdf, "-"}))
                            .split(QLatin1Char('\f'));
    // pdftotext ends every page with a form feed.
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QList<Word> words(const QString &pdf)
{
    const QString html = run(QStringLiteral("pdftotext"),
        {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
            QStringLiteral("-")});
    static const QRegularExpression item(QStringLiteral(
        R"re(<page\b|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<Word> words;
    int page = 0;
    for (auto it = item.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        if (match.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        const QPointF topLeft(match.captured(1).toDouble(), match.captured(2).toDouble());
        const QPointF bottomRight(match.captured(3).toDouble(), match.captured(4).toDouble());
        const QString text = QTextDocumentFragment::fromHtml(match.captured(5)).toPlainText();
        words.append({page, QRectF(topLeft, bottomRight), normalised(text)});
    }
    return words;
}

QImage render(const QString &pdf, int page, int dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
            QString::number(page), QStringLiteral("-l"), QString::number(page),
            QStringLiteral("-singlefile"), pdf, prefix});
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

} // namespace PdfText
