/*
 * csv.h - kxd40ctl's inventory as comma-separated values and such a file
 * read back: one header line, one row per module, fields quoted where
 * they must be, lines ended with CR LF, so that a spreadsheet opens what
 * search --csv and read --csv print, and a site's sheet names targets.
 */
#ifndef KXCTL_CSV_H
#define KXCTL_CSV_H

#include <string>
#include <vector>

#include "ctl.h"

namespace kxctl {

/* The name of the address column, the one a target list takes. */
extern const char* const CSV_ADDRESS;

/* One line: the fields, quoted when they hold a comma, a quote, CR or LF
 * (a quote doubled inside), then CR LF. */
std::string csv_line(const std::vector<std::string>& fields);

/* search --csv: the header, and a found module's row. */
std::string search_csv_header();
std::string search_csv_row(const module_ref& m);

/* read --csv: the header (the address, MAC, ID, outcome and failure, then
 * each page's fields as "page.field" in the order of --json's data, then
 * the queries that got no positive reply), and one module's row. data is
 * --json's (settings and unanswered, either missing on a failure); the
 * keys and the web password as "********" unless show_secrets. */
std::string read_csv_header();
std::string read_csv_row(const module_ref& m, const std::string& result, const std::string& error,
                         const ordered_json& data, bool show_secrets);

/* The records of text, CR LF or LF ended, a quoted field spanning lines
 * as it may. False with *why when a quote is left open or a quoted field
 * is followed by more than the comma or the line's end. */
bool parse_csv(const std::string& text, std::vector<std::vector<std::string>>* records, std::string* why);

} // namespace kxctl

#endif
