/*
 * csv.cpp - the inventory's rows as comma-separated values, and the
 * reader of such files for the target list.
 *
 * The columns of read --csv are fixed, whatever the modules answered:
 * they are taken from the pages of an empty module, so a failed module's
 * row, or a run where every module failed, has the same header as any.
 */
#include "csv.h"

#include "desired.h"
#include "module.h"
#include "report.h"

namespace kxctl {

const char* const CSV_ADDRESS = "ip";

namespace {

const char* const leading[] = {"ip", "mac", "id", "result", "error"};
const char* const UNANSWERED = "unanswered";

std::string quoted(const std::string& field)
{
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

/* The pages' fields, page and field, in --json's order. */
const std::vector<std::pair<std::string, std::string>>& page_columns()
{
    static const std::vector<std::pair<std::string, std::string>> names = [] {
        std::vector<std::pair<std::string, std::string>> out;
        const ordered_json empty = pages_json(module_pages{});
        for (const auto& section : empty.items())
            for (const auto& field : section.value().items())
                out.emplace_back(section.key(), field.key());
        return out;
    }();
    return names;
}

} // namespace

std::string csv_line(const std::vector<std::string>& fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i)
        line += (i == 0 ? "" : ",") + quoted(fields[i]);
    return line + "\r\n";
}

std::string search_csv_header() { return csv_line({"ip", "mac", "id"}); }

std::string search_csv_row(const module_ref& m) { return csv_line({m.ip, shown(m.mac), shown(m.id)}); }

std::string read_csv_header()
{
    std::vector<std::string> names(std::begin(leading), std::end(leading));
    for (const auto& n : page_columns())
        names.push_back(n.first + "." + n.second);
    names.push_back(UNANSWERED);
    return csv_line(names);
}

std::string read_csv_row(const module_ref& m, const std::string& result, const std::string& error,
                         const ordered_json& data, bool show_secrets)
{
    std::vector<std::string> row = {m.ip, shown(m.mac), shown(m.id), result, shown(error)};
    const ordered_json* pages = data.contains("settings") ? &data["settings"] : nullptr;
    for (const auto& n : page_columns()) {
        const ordered_json* v = pages != nullptr && pages->contains(n.first) && (*pages)[n.first].contains(n.second)
                                    ? &(*pages)[n.first][n.second]
                                    : nullptr;
        row.push_back(v != nullptr ? field_text(n.first, n.second, *v, show_secrets) : "");
    }
    row.push_back(data.contains(UNANSWERED) ? data[UNANSWERED].get<std::string>() : "");
    return csv_line(row);
}

bool parse_csv(const std::string& text, std::vector<std::vector<std::string>>* records, std::string* why)
{
    std::vector<std::string> record(1);
    size_t line = 1;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '"' && record.back().empty()) {
            size_t from = line;
            for (++i;; ++i) {
                if (i >= text.size()) {
                    *why = "line " + std::to_string(from) + ": a quoted field is not closed";
                    return false;
                }
                if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"')
                    ++i;
                else if (text[i] == '"')
                    break;
                line += text[i] == '\n' ? 1 : 0;
                record.back() += text[i];
            }
            ++i;
            if (i < text.size() && text[i] != ',' && text[i] != '\n' && text.compare(i, 2, "\r\n") != 0) {
                *why = "line " + std::to_string(line) + ": a quoted field is followed by more than a comma";
                return false;
            }
        } else if (c == ',') {
            record.emplace_back();
            ++i;
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            records->push_back(record);
            record.assign(1, "");
            i += c == '\r' ? 2 : 1;
            ++line;
        } else {
            record.back() += c;
            ++i;
        }
    }
    if (record.size() > 1 || !record[0].empty())
        records->push_back(record);
    return true;
}

} // namespace kxctl
