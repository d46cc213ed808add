/* Writes the ledger fixture with libxlsxwriter: shared strings, or inline strings with "--inline"
 * (constant-memory mode, as streaming writers do). Usage: ledger-xlsxwriter OUT.xlsx [--inline] */
#include <stdio.h>
#include <string.h>
#include <xlsxwriter.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s OUT.xlsx [--inline]\n", argv[0]);
        return 2;
    }
    lxw_workbook_options options = {0};
    options.constant_memory = argc > 2 && strcmp(argv[2], "--inline") == 0 ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* workbook = workbook_new_opt(argv[1], &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Ledger");
    lxw_format* date = workbook_add_format(workbook);
    format_set_num_format(date, "dd/mm/yyyy");

    const char* headings[] = {"Client Code", "Client Name", "Mobile", "Balance", "As On", "Double"};
    for (int column = 0; column < 6; ++column)
        worksheet_write_string(sheet, 0, (lxw_col_t)column, headings[column], NULL);

    struct
    {
        int row;
        const char *code, *name;
        double mobile, balance;
        int day;
    } const clients[] = {
        {1, "A001", "Anand Rao", 9876543210.0, 1234.5, 8},
        {2, "A002", "Bina \"B\" Shah", 9876500001.0, -1234, 8},
        {4, "A 003", "Chitra Iyer", 9876500002.0, 0, 8},
        {5, "ZZ99", "Jos\xC3\xA9 M\xC3\xBCller", 9876500003.0, 250.75, 9},
    };
    for (size_t i = 0; i < sizeof clients / sizeof clients[0]; ++i) {
        lxw_row_t row = (lxw_row_t)clients[i].row;
        lxw_datetime asOn = {2026, 12, clients[i].day, 0, 0, 0};
        char formula[16];
        snprintf(formula, sizeof formula, "=D%d*2", clients[i].row + 1);
        worksheet_write_string(sheet, row, 0, clients[i].code, NULL);
        worksheet_write_string(sheet, row, 1, clients[i].name, NULL);
        worksheet_write_number(sheet, row, 2, clients[i].mobile, NULL);
        worksheet_write_number(sheet, row, 3, clients[i].balance, NULL);
        worksheet_write_datetime(sheet, row, 4, &asOn, date);
        worksheet_write_formula_num(sheet, row, 5, formula, NULL, clients[i].balance * 2);
    }
    worksheet_write_string(sheet, 6, 0, "Total", NULL);
    worksheet_write_formula_num(sheet, 6, 3, "=SUM(D2:D6)", NULL, 251.25);
    worksheet_write_string(sheet, 7, 0, "A004", NULL);
    worksheet_write_string(sheet, 7, 1, "Dev", NULL);
    worksheet_write_number(sheet, 7, 2, 9876500004.0, NULL);
    worksheet_write_string(sheet, 7, 3, "1,234.50", NULL);

    return workbook_close(workbook) == LXW_NO_ERROR ? 0 : 1;
}
