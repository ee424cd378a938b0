/*
 * desired.cpp - desired settings from a command file or a settings
 * document, and the plan that makes one module match them.
 */
#include "desired.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "command_file.h"
#include "data_file.h"
#include "report.h"
#include "setting_values.h"
#include "strutil.h"

namespace kxctl {
namespace {

size_t full_count(const std::string& command)
{
    static const module_pages none{};
    return setting_values(none, command, true).size();
}

bool document_value(const ordered_json& v, std::string* text)
{
    if (v.is_number_integer() || v.is_number_unsigned()) {
        *text = v.dump();
        return true;
    }
    if (v.is_string()) {
        *text = v.get<std::string>();
        return true;
    }
    return false;
}

bool load_document(const ordered_json& doc, desired_state* out, std::string* why)
{
    /* A read that failed gave settings the module may not have. */
    if (doc.contains("result") && doc["result"] != "done") {
        *why = "the document holds the result of a read that was not done";
        return false;
    }
    const ordered_json* settings = &doc;
    if (doc.contains("data") && doc["data"].is_object() && doc["data"].contains("settings"))
        settings = &doc["data"]["settings"];
    else if (doc.contains("settings"))
        settings = &doc["settings"];
    if (!settings->is_object()) {
        *why = "the settings are no JSON object";
        return false;
    }
    std::map<std::string, desired_entry> by_command;
    for (const auto& section : settings->items()) {
        if (!section.value().is_object()) {
            *why = "\"" + section.key() + "\" is no section of settings (management, communication, ap, sta)";
            return false;
        }
        for (const auto& field : section.value().items()) {
            std::string path = section.key() + "." + field.key();
            const setting_field* f = find_setting_field(section.key(), field.key());
            if (f == nullptr) {
                /* The module's own, read but never set. */
                if (path == "management.mid" || path == "management.version")
                    continue;
                *why = "no such setting: " + path;
                return false;
            }
            std::string text;
            if (!document_value(field.value(), &text)) {
                *why = path + ": a number or a text is expected";
                return false;
            }
            desired_entry& e = by_command[f->command];
            e.command = f->command;
            e.items.resize(full_count(f->command));
            e.given.resize(e.items.size());
            e.items[f->item] = text;
            e.given[f->item] = true;
        }
    }
    out->document = true;
    if (doc.contains("mac") && doc["mac"].is_string())
        out->mac = doc["mac"].get<std::string>();
    for (const std::string& c : setting_commands())
        if (by_command.count(c) != 0)
            out->entries.push_back(by_command[c]);
    return true;
}

/* "AT", alone or with "+" and more, in any case: what a module reads as
 * a command. */
bool at_command(const std::string& line)
{
    return line.size() >= 2 && std::toupper(static_cast<unsigned char>(line[0])) == 'A' &&
           std::toupper(static_cast<unsigned char>(line[1])) == 'T' && (line.size() == 2 || line[2] == '+');
}

/* Every line up to the closing "E" (or the first empty line) must be a
 * command: a list of addresses, prose or a JSON array given by mistake
 * would otherwise go to every module line by line. */
bool load_command_file(const std::string& text, desired_state* out, std::string* why)
{
    stdio_file in(text.empty() ? nullptr : fmemopen(const_cast<char*>(text.data()), text.size(), "r"));
    if (!in && !text.empty()) {
        *why = "cannot read the command file";
        return false;
    }
    std::string line;
    bool too_long = false;
    while (in && next_command_line(in.get(), &line, &too_long)) {
        if (!at_command(line)) {
            *why = "line " + std::to_string(out->entries.size() + 1) +
                   " is neither an AT command nor the closing \"E\"";
            return false;
        }
        desired_entry e;
        e.line = line;
        e.too_long = too_long;
        if (!too_long && split_setting_line(line, &e.command, &e.items))
            e.given.assign(e.items.size(), true);
        else
            e.command.clear();
        out->entries.push_back(e);
    }
    if (out->entries.empty()) {
        *why = "no command to send (an empty file, or an empty or \"E\" first line)";
        return false;
    }
    return true;
}

/* The first of the given items the module does not take, for the message;
 * a key or the web password as "(hidden)" unless shown. */
std::string refused_field(const module_pages& module, const std::string& command, const desired_entry& e,
                          bool show_secrets)
{
    std::vector<std::string> base = setting_values(module, command, true);
    for (size_t i = 0; i < e.items.size() && i < base.size(); ++i) {
        if (!e.given[i])
            continue;
        std::vector<std::string> one = base;
        one[i] = e.items[i];
        module_pages trial = module;
        if (!take_setting(trial, command, one)) {
            const setting_field* f = field_of_item(command, static_cast<int>(i));
            std::string path = f != nullptr ? field_path(*f) : command;
            bool hide = !show_secrets && secret_field(path);
            return path + " = " + (hide ? "(hidden)" : "\"" + e.items[i] + "\"");
        }
    }
    std::string line = setting_line(command, e.items);
    return show_secrets ? line : without_secrets(line);
}

/* Whether a line that is sent as written would set an excluded field. */
bool sets_excluded(const desired_entry& e, const std::set<std::string>& excluded)
{
    for (size_t i = 0; i < e.items.size(); ++i) {
        const setting_field* f = field_of_item(e.command, static_cast<int>(i));
        if (f != nullptr && excluded.count(field_path(*f)) != 0)
            return true;
    }
    return false;
}

bool excluded_item(const setting_field* f, const std::string& value, const std::string& own_mac,
                   const std::set<std::string>& excluded)
{
    if (f == nullptr)
        return false;
    std::string path = field_path(*f);
    return excluded.count(path) != 0 || (path == "ap.ssid" && names_another_module(value, own_mac));
}

} // namespace

bool load_desired(const std::string& text, desired_state* out, std::string* why)
{
    *out = desired_state();
    /* An editor on Windows may begin a file with a byte-order mark. */
    static const std::string bom = "\xEF\xBB\xBF";
    std::string body = text.compare(0, bom.size(), bom) == 0 ? text.substr(bom.size()) : text;
    size_t first = body.find_first_not_of(" \t\r\n");
    if (first == std::string::npos || body[first] != '{')
        return load_command_file(body, out, why);
    ordered_json doc = ordered_json::parse(body, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        *why = "the settings document is not a JSON object";
        return false;
    }
    return load_document(doc, out, why);
}

bool add_exclusion(const std::string& name, std::set<std::string>* fields, std::string* why)
{
    auto upper = [](std::string t) {
        std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::toupper(c); });
        return t;
    };
    std::string wanted = upper(name);
    bool known = false;
    for (const setting_field& f : setting_fields()) {
        std::string path = field_path(f);
        if (upper(path) == wanted || upper(f.section) == wanted || upper(f.command) == wanted) {
            fields->insert(path);
            known = true;
        }
    }
    if (!known)
        *why = "--exclude " + name + ": no such setting, section or command";
    return known;
}

module_plan plan_module(const module_pages& module, const std::string& own_mac, const desired_state& d,
                        const std::set<std::string>& excluded, bool force, bool show_secrets)
{
    module_plan plan;
    module_pages want = module;
    /* Each command once, where it first appears, with the values of every
     * entry that sets it (a later line wins); other lines where they are. */
    struct command_slot {
        std::vector<std::string> items;
        std::vector<bool> given;
    };
    std::map<std::string, command_slot> commands;
    /* A line as written (no command), or a command's first entry. */
    std::vector<std::pair<std::string, const desired_entry*>> order;
    for (const desired_entry& e : d.entries) {
        bool compared = !e.command.empty() && !(force && !d.document);
        if (compared && !d.document) {
            module_pages alone = module;
            compared = take_setting(alone, e.command, e.items);
        }
        if (!compared) {
            if (e.command.empty() || force || !sets_excluded(e, excluded))
                order.emplace_back("", &e);
            continue;
        }
        auto found = commands.find(e.command);
        if (found == commands.end()) {
            found = commands.emplace(e.command, command_slot{setting_values(module, e.command, true), {}}).first;
            found->second.given.assign(found->second.items.size(), false);
            order.emplace_back(e.command, &e);
        }
        for (size_t i = 0; i < e.items.size() && i < found->second.items.size(); ++i)
            if (i >= e.given.size() || e.given[i]) {
                found->second.items[i] = e.items[i];
                found->second.given[i] = true;
            }
    }
    for (const auto& [c, e] : order) {
        if (c.empty()) {
            plan.lines.push_back(e->line);
            plan.too_long.push_back(e->too_long);
            plan.uncompared.push_back(e->line);
            continue;
        }
        auto slot = commands.find(c);
        std::vector<std::string> module_full = setting_values(module, c, true);
        std::vector<std::string> items = slot->second.items;
        for (size_t i = 0; i < items.size(); ++i)
            if (excluded_item(field_of_item(c, static_cast<int>(i)), items[i], own_mac, excluded))
                items[i] = module_full[i];
        if (!take_setting(want, c, items)) {
            desired_entry given{"", false, c, slot->second.items, slot->second.given};
            plan.error = "not a value the module takes: " + refused_field(module, c, given, show_secrets);
            return plan;
        }
        std::vector<std::string> sent = setting_values(want, c, false);
        bool differs = false;
        for (size_t i = 0; i < sent.size(); ++i) {
            std::string has = i < module_full.size() ? module_full[i] : "";
            if (same_setting_value(c, i, has, sent[i]))
                continue;
            differs = true;
            const setting_field* f = field_of_item(c, static_cast<int>(i));
            bool number = f != nullptr && f->kind == field_kind::number;
            plan.differences.push_back({f != nullptr ? field_path(*f) : c, has, sent[i], number});
        }
        if (differs || force) {
            plan.lines.push_back(setting_line(c, sent));
            plan.too_long.push_back(false);
        }
    }
    return plan;
}

ordered_json differences_json(const std::vector<setting_difference>& d)
{
    auto value = [](const std::string& text, bool number) {
        bool digits = !text.empty() && text.size() < 10 && text.find_first_not_of("0123456789") == std::string::npos;
        return number && digits ? ordered_json(std::stol(text)) : ordered_json(shown(text));
    };
    ordered_json out = ordered_json::array();
    for (const setting_difference& x : d)
        out.push_back({{"name", x.name}, {"module", value(x.module, x.number)}, {"desired", value(x.desired, x.number)}});
    return out;
}

bool secret_field(const std::string& path)
{
    return path == "sta.key" || path == "ap.key" || path == "management.web_password";
}

std::string without_secrets(const std::string& line)
{
    std::string command;
    std::vector<std::string> items;
    if (!split_setting_line(line, &command, &items))
        return line;
    bool hidden = false;
    for (size_t i = 0; i < items.size(); ++i) {
        const setting_field* f = field_of_item(command, static_cast<int>(i));
        if (f != nullptr && secret_field(field_path(*f)) && !items[i].empty()) {
            items[i] = "********";
            hidden = true;
        }
    }
    return hidden ? setting_line(command, items) : line;
}

} // namespace kxctl
