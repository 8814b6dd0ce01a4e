#pragma once

#include "common/status.h"

#include <QString>

#include <array>

#include "common/ini_file.h"

// The ten fixed texts every issue note carries: four header fields and six
// signature fields. Each lives in config.ini in a section and under a key that
// are both its name ("仓库名称" … "领料"); a missing one is the empty text.
struct IssueParameters
{
    // Header fields.
    QString warehouse; // 仓库名称
    QString purpose; // 使用方向
    QString department; // 领料部门, also the department of each issue history line
    QString project; // 项目名称
    // Signature fields.
    QString approval; // 审批
    QString financialReview; // 财务审核
    QString technicalDepartment; // 技术部门
    QString issuedBy; // 开票
    QString storekeeper; // 保管
    QString receivedBy; // 领料, also the handler of each issue history line

    struct Field
    {
        QString key; // section and key in config.ini
        QString caption; // as the parameter window labels it
        QString IssueParameters::*value;
    };
    static constexpr int count = 10;

    // The ten parameters in the order they are read, written and shown
    // (edit boxes 编辑框1 … 编辑框10).
    static const std::array<Field, count> &fields();

    // On the note each text stands beside its caption, the parameter's key
    // and a full-width colon ("领料：张伟"), while config.ini keeps the name
    // alone. A value that carries a caption already (typed so in earlier
    // days: its own, or a short one of the user's, "财务：李红") is shown
    // with the note's caption once.
    static QString noteText(const Field &field, const QString &value);
    // The name in a text of the note: a leading caption with a colon
    // (full-width or not) is taken off, and the blanks around what is left.
    // The caption is the field's own (its characters perhaps spaced, as the
    // window's labels are) or any of up to four letters ("财务：").
    static QString nameIn(const Field &field, const QString &text);
    // The field of a key ("领料"); the first field for a key there is not.
    static const Field &field(const QString &key);

    static IssueParameters load(const IniFile &config);
    static IssueParameters load(const IniFile::Contents &config);
    // Writes all ten, in order, even after a failed one; the first failure is
    // returned.
    Status save(IniFile &config) const;

    bool operator==(const IssueParameters &) const = default;
};
