#include "issue/issue_parameters.h"

#include "common/ini_file.h"

#include <algorithm>

const std::array<IssueParameters::Field, IssueParameters::count> &IssueParameters::fields()
{
    // The signature captions are spaced out to the width of the four-character
    // ones; the keys carry no spaces.
    static const std::array<Field, count> table {{
        {QStringLiteral("仓库名称"), QStringLiteral("仓库名称"), &IssueParameters::warehouse},
        {QStringLiteral("使用方向"), QStringLiteral("使用方向"), &IssueParameters::purpose},
        {QStringLiteral("领料部门"), QStringLiteral("领料部门"), &IssueParameters::department},
        {QStringLiteral("项目名称"), QStringLiteral("项目名称"), &IssueParameters::project},
        {QStringLiteral("审批"), QStringLiteral("审    批"), &IssueParameters::approval},
        {QStringLiteral("财务审核"), QStringLiteral("财务审核"), &IssueParameters::financialReview},
        {QStringLiteral("技术部门"), QStringLiteral("技术部门"),
            &IssueParameters::technicalDepartment},
        {QStringLiteral("开票"), QStringLiteral("开    票"), &IssueParameters::issuedBy},
        {QStringLiteral("保管"), QStringLiteral("保    管"), &IssueParameters::storekeeper},
        {QStringLiteral("领料"), QStringLiteral("领    料"), &IssueParameters::receivedBy},
    }};
    return table;
}

QString IssueParameters::nameIn(const Field &field, const QString &text)
{
    // The caption's characters in order, blanks allowed before and between
    // them, then a colon.
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && (text[i].isSpace()))
            ++i;
    };
    bool keyed = true;
    for (const QChar c : field.key) {
        skipBlanks();
        if (i >= text.size() || text[i] != c) {
            keyed = false;
            break;
        }
        ++i;
    }
    skipBlanks();
    if (keyed && i < text.size() && (text[i] == u'：' || text[i] == u':'))
        return text.mid(i + 1).trimmed();
    // A short caption of the user's own ("财务：李红", typed when the note
    // printed no captions) gives way to the note's, or it would stand twice.
    const qsizetype colon = [&] {
        const qsizetype wide = text.indexOf(u'：'), narrow = text.indexOf(u':');
        return wide < 0 ? narrow : narrow < 0 ? wide : std::min(wide, narrow);
    }();
    const QString before = colon > 0 ? text.left(colon).simplified().remove(u' ') : QString();
    const bool caption = !before.isEmpty() && before.size() <= 4
        && std::all_of(before.begin(), before.end(), [](QChar c) { return c.isLetter(); });
    return caption ? text.mid(colon + 1).trimmed() : text.trimmed();
}

QString IssueParameters::noteText(const Field &field, const QString &value)
{
    return field.key + u'：' + nameIn(field, value);
}

const IssueParameters::Field &IssueParameters::field(const QString &key)
{
    for (const Field &f : fields())
        if (f.key == key)
            return f;
    return fields().front();
}

IssueParameters IssueParameters::load(const IniFile &config)
{
    return load(config.load());
}

IssueParameters IssueParameters::load(const IniFile::Contents &config)
{
    IssueParameters parameters;
    for (const Field &field : fields())
        parameters.*field.value = config.read(field.key, field.key, QString());
    return parameters;
}

Status IssueParameters::save(IniFile &config) const
{
    Status result;
    for (const Field &field : fields()) {
        Status written = config.write(field.key, field.key, this->*field.value);
        if (result.ok() && !written.ok())
            result = std::move(written);
    }
    return result;
}
