// Writes the .xlsx fixtures of the exchange tests with libxlsxwriter, a real
// spreadsheet writer, into the folder given as the only argument.
//
// A program of its own because libxlsxwriter calls the system's minizip, and
// QuaZip, linked into the tests, exports the same function names: in one
// process the writer's calls would land in QuaZip's copy.

#include <xlsxwriter.h>

#include <cstdio>
#include <string>

namespace {

// One sheet of the kinds of cell a stock list holds.
void stockList(const std::string &path, bool inlineStrings)
{
    lxw_workbook_options options {};
    options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
    lxw_workbook *book = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, "库存");
    lxw_format *isoDate = workbook_add_format(book);
    format_set_num_format(isoDate, "yyyy-mm-dd");
    lxw_format *builtInDate = workbook_add_format(book);
    format_set_num_format_index(builtInDate, 14);
    lxw_format *dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "yyyy/m/d h:mm");
    lxw_format *price = workbook_add_format(book);
    format_set_num_format(price, "0.00");
    worksheet_write_string(sheet, 2, 1, "螺栓", nullptr); // B3
    worksheet_write_string(sheet, 2, 2, "M12×80", nullptr);
    worksheet_write_number(sheet, 2, 4, 12.5, nullptr); // E3
    worksheet_write_number(sheet, 2, 5, 1.0 / 3, price); // F3
    worksheet_write_number(sheet, 2, 6, 100, nullptr);
    worksheet_write_number(sheet, 2, 7, 1e20, nullptr);
    worksheet_write_blank(sheet, 3, 1, price); // B4: formatted, but empty
    worksheet_write_string(sheet, 3, 2, "螺栓", nullptr); // a shared string used twice
    lxw_datetime march7 = {2011, 3, 7, 0, 0, 0};
    worksheet_write_datetime(sheet, 4, 1, &march7, isoDate); // B5
    worksheet_write_datetime(sheet, 4, 2, &march7, builtInDate);
    lxw_datetime morning = {2011, 3, 7, 9, 5, 0};
    worksheet_write_datetime(sheet, 4, 3, &morning, dateTime);
    worksheet_write_boolean(sheet, 5, 1, 1, nullptr); // B6
    worksheet_write_number(sheet, 5, 2, -0.0, nullptr);
    worksheet_write_formula_num(sheet, 5, 3, "=E3*2", nullptr, 25);
    worksheet_write_string(sheet, 9, 26, "AA10", nullptr);
    workbook_close(book);
}

// Two sheets; the second was active when saved.
void twoSheets(const std::string &path)
{
    lxw_workbook *book = workbook_new(path.c_str());
    lxw_worksheet *first = workbook_add_worksheet(book, "一");
    lxw_worksheet *second = workbook_add_worksheet(book, "二");
    worksheet_write_string(first, 2, 1, "first sheet", nullptr);
    worksheet_write_string(second, 2, 1, "螺栓", nullptr); // B3
    worksheet_write_number(second, 9, 26, 7, nullptr); // AA10
    worksheet_write_number(second, 3, 2, 2.5, nullptr); // C4
    worksheet_activate(second);
    workbook_close(book);
}

// A stock list to import: a title row, then one item in row 3.
void importList(const std::string &path)
{
    lxw_workbook *book = workbook_new(path.c_str());
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    worksheet_write_string(sheet, 0, 1, "title rows are not read", nullptr);
    worksheet_write_string(sheet, 2, 1, "螺栓", nullptr);
    worksheet_write_string(sheet, 2, 2, "M12", nullptr);
    worksheet_write_string(sheet, 2, 3, "个", nullptr);
    worksheet_write_number(sheet, 2, 4, 30, nullptr);
    worksheet_write_number(sheet, 2, 5, 1.0 / 3, nullptr);
    worksheet_write_number(sheet, 2, 6, 10, nullptr);
    worksheet_write_number(sheet, 2, 7, 5, nullptr);
    workbook_close(book);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: xlsx_fixture_writer <folder>\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + '/';
    stockList(folder + "stock-shared.xlsx", false);
    stockList(folder + "stock-inline.xlsx", true);
    twoSheets(folder + "two-sheets.xlsx");
    importList(folder + "import.xlsx");
    return 0;
}
