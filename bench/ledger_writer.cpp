// Writes the ledger workbooks of bench_ledger into a folder: ledger.xlsx (libxlsxwriter, shared strings
// as Excel and LibreOffice write them), ledger-inline.xlsx (libxlsxwriter's constant_memory mode,
// inline strings as streaming writers do) and ledger.csv, with the same cell texts.
//   ledger_writer FOLDER ROWS CLIENTS
#include <xlsxwriter.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string clientCode(int client)
{
    char code[16];
    std::snprintf(code, sizeof code, "C%05d", client + 1);
    return code;
}

std::string mobile(int client)
{
    char number[16];
    std::snprintf(number, sizeof number, "98%08d", client);
    return number;
}

// Balance of ledger row i in hundredths: debits and credits, some whole.
long long balanceHundredths(int i)
{
    const long long h = (static_cast<long long>(i) * 7919 % 20000001) - 10000000;
    return i % 10 == 0 ? h / 100 * 100 : h;
}

std::string balanceText(int i)
{
    const long long h = balanceHundredths(i);
    const long long magnitude = h < 0 ? -h : h;
    char text[32];
    if (magnitude % 100 == 0)
        std::snprintf(text, sizeof text, "%s%lld", h < 0 ? "-" : "", magnitude / 100);
    else if (magnitude % 10 == 0)
        std::snprintf(text, sizeof text, "%s%lld.%lld", h < 0 ? "-" : "", magnitude / 100,
                      magnitude % 100 / 10);
    else
        std::snprintf(text, sizeof text, "%s%lld.%02lld", h < 0 ? "-" : "", magnitude / 100, magnitude % 100);
    return text;
}

bool writeXlsx(const std::string& path, int rows, int clients, bool constantMemory)
{
    lxw_workbook_options options = {};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    if (!workbook)
        return false;
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Ledger");
    lxw_format* date = workbook_add_format(workbook);
    format_set_num_format(date, "dd/mm/yyyy");
    const char* headings[] = {"Client Code", "Client Name", "Mobile", "Balance", "As On"};
    for (lxw_col_t c = 0; c < 5; ++c)
        worksheet_write_string(sheet, 0, c, headings[c], nullptr);
    for (int i = 0; i < rows; ++i) {
        const int client = i % clients;
        const auto row = static_cast<lxw_row_t>(i + 1);
        worksheet_write_string(sheet, row, 0, clientCode(client).c_str(), nullptr);
        worksheet_write_string(sheet, row, 1, ("Client " + std::to_string(client)).c_str(), nullptr);
        worksheet_write_number(sheet, row, 2, std::strtod(mobile(client).c_str(), nullptr), nullptr);
        worksheet_write_number(sheet, row, 3, static_cast<double>(balanceHundredths(i)) / 100, nullptr);
        worksheet_write_number(sheet, row, 4, 46364, date);
    }
    const lxw_error error = workbook_close(workbook);
    if (error != LXW_NO_ERROR)
        std::fprintf(stderr, "%s: %s\n", path.c_str(), lxw_strerror(error));
    return error == LXW_NO_ERROR;
}

bool writeCsv(const std::string& path, int rows, int clients)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::fputs("Client Code,Client Name,Mobile,Balance,As On\r\n", file);
    for (int i = 0; i < rows; ++i) {
        const int client = i % clients;
        std::fprintf(file, "%s,Client %d,%s,%s,08/12/2026\r\n", clientCode(client).c_str(), client,
                     mobile(client).c_str(), balanceText(i).c_str());
    }
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: ledger_writer FOLDER ROWS CLIENTS\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int rows = std::atoi(argv[2]);
    const int clients = std::atoi(argv[3]);
    const bool ok = writeXlsx(folder + "/ledger.xlsx", rows, clients, false) &&
                    writeXlsx(folder + "/ledger-inline.xlsx", rows, clients, true) &&
                    writeCsv(folder + "/ledger.csv", rows, clients);
    return ok ? 0 : 1;
}
