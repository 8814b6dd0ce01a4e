#include "exchange/find_in_grid.h"

#include "common/prompts.h"
#include "grid/grid.h"
#include "table/data_source.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

FindInGrid::FindInGrid(State &state, QAction *item, Grid *grid, DataSource *table, Prompts &prompts,
    QMenu *editMenu, Words words, quint32 highlight)
    : state_(state)
    , item_(item)
    , grid_(grid)
    , table_(table)
    , prompts_(prompts)
    , editMenu_(editMenu)
    , words_(std::move(words))
    , highlight_(highlight)
{ }

bool FindInGrid::captionHolds(const QString &word) const
{
    return item_->text().contains(word);
}

void FindInGrid::replaceInCaption(const QString &word, const QString &by)
{
    QString caption = item_->text();
    caption.replace(word, by);
    item_->setText(caption);
}

void FindInGrid::resetCaption()
{
    replaceInCaption(next(), words_.idle);
    replaceInCaption(previous(), words_.idle);
}

void FindInGrid::popUpEditMenu()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize(800, 600);
    editMenu_->popup(QPoint(size.width() / 2, size.height() / 2));
}

void FindInGrid::step()
{
    if (captionHolds(words_.idle)) {
        const std::optional<QString> text
            = prompts_.inputText(QStringLiteral("如果想在哪一列中查找,请将光标放到哪一列"),
                QStringLiteral("请输入您想要查找的内容"));
        if (text) {
            state_.searchText = *text;
            state_.hitRows.clear();
            state_.stepsBack = 0;
        }
    }
    if (captionHolds(previous()))
        walkBack();
    if (state_.searchText.isEmpty())
        return;
    scan();
}

void FindInGrid::walkBack()
{
    const int k = int(state_.hitRows.size()) - state_.stepsBack;
    if (k >= 1) {
        const int row = state_.hitRows[k - 1];
        const int column = grid_->cursorColumn();
        grid_->unbind();
        table_->goToRow(row);
        grid_->bind();
        grid_->setCursorCell(row, column);
    }
    ++state_.stepsBack;
    if (state_.stepsBack >= state_.hitRows.size())
        replaceInCaption(previous(), words_.walkEnd);
    popUpEditMenu();
}

void FindInGrid::scan()
{
    const int column = grid_->cursorColumn();
    const int cursorRow = grid_->cursorRow();
    const bool fresh = captionHolds(words_.idle);
    // Unbound, moving through 100 000 rows costs no drawing.
    grid_->unbind();
    if (fresh)
        table_->goToFirstRow();
    else if (captionHolds(next()))
        table_->goToRow(cursorRow + 1);
    const int rows = table_->rowCount();
    for (int i = 0; i < rows; ++i) {
        const int row = table_->currentRow();
        if (table_->text(row, column).contains(state_.searchText, Qt::CaseInsensitive)) {
            replaceInCaption(words_.firstHit, next());
            table_->setTextColor({row, 1, 1, table_->columnCount()}, highlight_);
            state_.hitRows.append(row);
            break;
        }
        table_->moveRows(1);
    }
    if (rows == 0 || table_->currentRow() == rows) {
        prompts_.message(state_.hitRows.isEmpty() ? QStringLiteral("对不起，没有找到！")
                                                  : QStringLiteral("对不起，没有啦！"),
            QStringLiteral("报告！"));
        replaceInCaption(next(), previous());
        state_.searchText.clear();
    }
    grid_->bind();
    grid_->setCursorCell(table_->currentRow(), column);
    popUpEditMenu();
}
