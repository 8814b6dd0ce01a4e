#pragma once

#include "exchange/find_in_grid.h"
#include "table/text_rows.h"
#include "tableeditor/print_setup_window.h"

#include <optional>

// What the table editor keeps from one window to the next during a run. The
// caller owns it and hands it to every TableEditorWindow it opens.
struct TableEditorState
{
    // Set by a sort: the next window shows the sorted copy qd4.zrb instead of
    // qd.zrb. Every window clears it once it has loaded its table, so a caller
    // that opens the window again while it is set shows the sort's result.
    bool loadSortedFile = false;
    // The rows of qd.zrb as the statistics command read them while writing
    // the file; the next window that loads qd.zrb takes them instead of
    // reading the file back.
    std::optional<TextRows> queryRows;
    // The cursor row of the last click or selection in the grid (a sort leaves
    // its cursor column here). The column sum of a one-row table shows the
    // cell of this row.
    int rememberedRow = 0;
    // The search of "&Y.查找", which lasts for the whole run.
    FindInGrid::State find;
    // The print window's page setup and step counters.
    PrintSetupState printSetup;
    // The caption of the windows that show qd.zrb and its sorted copy: the
    // statistic and its period ("本月进库 2026年12月"); "表格" when empty.
    QString title;
    // What the last export wrote ("已转换电子表格 电子表格3.xls"), for the
    // caller's status bar; the caller takes it once the window is closed.
    QString lastResult;
};
