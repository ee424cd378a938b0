/*
 * command_file.cpp - confirming a page to the module, the temporary and
 * saved command files, their replay, and the settings file writer.
 */
#include "command_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "command.h"
#include "enums.h"
#include "link.h"
#include "module.h"
#include "setting_file.h"
#include "strutil.h"

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#else
#include <unistd.h>
#endif

/* A module reads a command in any case and after blanks; what it makes of
 * the rest is its own, so a line that may be the command is taken for it. */
bool names_command(const std::string& line, const char* name, bool with_value)
{
    const size_t n = std::strlen(name);
    size_t at = line.find_first_not_of(" \t\r\n");
    if (at == std::string::npos || line.size() - at < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(line[at + i])) != name[i])
            return false;
    size_t rest = at + n;
    if (rest == line.size())
        return true;
    /* The seventh byte is the NUL that ends the line for the module. */
    if (with_value)
        return std::memchr("=? \t\r\n", line[rest], 7) != nullptr;
    return line.find_first_not_of(" \t\r\n", rest) == std::string::npos;
}

bool switches_to_firmware(const std::string& line) { return names_command(line, "AT+FWUPDAT", true); }

namespace {

const char* const page_files[] = {"cmd_mana_tmp.txt", "cmd_comm_tmp.txt", "cmd_ap_tmp.txt",
                                  "cmd_sta_tmp.txt"};

enum { LINE_MAX_CHARS = 399, EXCERPT_BYTES = 40 };

/* One line without its line end (LF, or CR LF as an editor on Windows
 * writes it), of which at most LINE_MAX_CHARS characters are kept;
 * *too_long tells that there were more. False at the end of the file. */
bool read_line(FILE* f, std::string* line, bool* too_long)
{
    line->clear();
    size_t length = 0;
    int c, last = EOF;
    while ((c = std::fgetc(f)) != EOF && c != '\n') {
        if (line->size() <= LINE_MAX_CHARS)
            line->push_back(static_cast<char>(c));
        ++length;
        last = c;
    }
    if (last == '\r')
        line->resize(std::min(line->size(), --length));
    *too_long = length > LINE_MAX_CHARS;
    line->resize(std::min(line->size(), static_cast<size_t>(LINE_MAX_CHARS)));
    return c != EOF || last != EOF;
}

/* Why line is not sent, or LINE_ACCEPTED when it may be. */
int unsendable(const std::string& line, bool too_long)
{
    if (too_long)
        return LINE_TOO_LONG;
    if (line.find('\0') != std::string::npos)
        return LINE_NOT_TEXT;
    return switches_to_firmware(line) ? LINE_REFUSED : LINE_ACCEPTED;
}

bool ends_a_command_file(const std::string& line) { return line.empty() || line[0] == 'E'; }

bool make_directory(const char* dir)
{
#ifdef _WIN32
    return _mkdir(dir) == 0 || errno == EEXIST;
#else
    return mkdir(dir, 0777) == 0 || errno == EEXIST;
#endif
}

/* Sends one command; false when the sequence must stop (silence, or the
 * link ended), with the console line. A refusal is named. */
bool send_one(const char* text, bool* refused)
{
    if (module_send_cmd_set(text) == 1)
        return true;
    if (module_silent) {
        std::puts(stop_reason());
        return false;
    }
    std::printf("Command refused: %s\n", text);
    *refused = true;
    return true;
}

} // namespace

const char* page_command_file(int type)
{
    return type >= CMDTYPE_MOD && type <= CMDTYPE_STA ? page_files[type] : nullptr;
}

const char* stop_reason()
{
    return link_ended() ? "Stopped: the settings window was closed" : "No answer from the module";
}

int send_page_commands(int type)
{
    int* count = nullptr;
    STRCOMMAND* rows = command_rows(type, &count);
    if (rows == nullptr)
        return CONFIRM_NO_FILE;
    whole_file file(page_command_file(type));
    if (!file) {
        std::printf("Can not open file: %s\n", page_command_file(type));
        return CONFIRM_NO_FILE;
    }
    std::puts("\n------------Start to send Command------------");
    bool refused = false;
    char text[CMD_TEXT_MAX];
    for (int i = 0; i < *count; ++i) {
        render_command(rows[i], text, sizeof text);
        std::printf("Send CMD: %s\n", text);
        if (!send_one(text, &refused))
            return CONFIRM_STOPPED;
        std::fprintf(file.get(), "%s\n", text);
    }
    std::puts("-----------------Finished-----------------\n");
    if (refused)
        return CONFIRM_REFUSED;
    std::fputs("E", file.get());
    if (!file.commit()) {
        /* Nothing can take back what the module has stored: the page is
         * its values now, only this file does not record them. An earlier
         * confirm's file would be saved as this page's commands: it goes. */
        if (regular_or_missing(page_command_file(type)))
            std::remove(page_command_file(type));
        std::printf("The module took the commands; only %s could not be written\n", page_command_file(type));
        return CONFIRM_UNSAVED;
    }
    return CONFIRM_DONE;
}

int save_command_file(const char* name)
{
    std::string path = data_file_path(name);
    if (!plain_file_name(name) || !regular_or_missing(path.c_str())) {
        std::puts("Can not open file: set_file.txt");
        return 0;
    }
    make_directory("data");
    whole_file out(path);
    if (!out) {
        std::puts("Can not open file: set_file.txt");
        return 0;
    }
    std::string line;
    bool too_long = false;
    for (const char* name : page_files) {
        FILE* in = std::fopen(name, "rb");
        if (in == nullptr)
            continue;
        while (read_line(in, &line, &too_long) && (line.empty() || line[0] != 'E'))
            std::fprintf(out.get(), "%s\n", line.c_str());
        std::fclose(in);
    }
    std::fputs("E\n", out.get());
    if (!out.commit()) {
        std::puts("Can not open file: set_file.txt");
        return 0;
    }
    return 1;
}

int replay_command_lines(FILE* in, const replay_hooks& hooks) { return replay_command_lines(window_link, in, hooks); }

bool next_command_line(FILE* in, std::string* line, bool* too_long)
{
    return read_line(in, line, too_long) && !ends_a_command_file(*line);
}

int replay_one_line(module_link& l, const std::string& line, bool too_long, const replay_hooks& hooks)
{
    int result = unsendable(line, too_long);
    if (result == LINE_ACCEPTED) {
        if (hooks.sending != nullptr)
            hooks.sending(line.c_str(), hooks.context);
        if (at_setting(l, line.c_str()) != 1)
            result = l.module_silent ? LINE_SILENT : LINE_REFUSED;
    }
    if (hooks.done != nullptr)
        hooks.done(line.c_str(), result, hooks.context);
    return result;
}

int replay_command_lines(module_link& l, FILE* in, const replay_hooks& hooks)
{
    std::string line;
    bool too_long = false;
    while (next_command_line(in, &line, &too_long))
        if (replay_one_line(l, line, too_long, hooks) == LINE_SILENT)
            return 0;
    return 1;
}

int line_excerpt(const char* line) { return static_cast<int>(char_prefix(line, EXCERPT_BYTES)); }

namespace {

void print_sending(const char* line, void*) { std::printf("Send Command: %s\n", line); }

void print_result(const char* line, int result, void*)
{
    if (result == LINE_SILENT)
        std::puts(stop_reason());
    else if (result == LINE_REFUSED)
        std::printf("Command refused: %s\n", line);
    else if (result == LINE_TOO_LONG)
        std::printf("Line too long, not sent: %.*s...\n", line_excerpt(line), line);
    else if (result == LINE_NOT_TEXT)
        std::printf("Line holds a NUL byte, not sent: %.*s...\n", line_excerpt(line), line);
}

} // namespace

int replay_command_file(const char* name)
{
    stdio_file in(open_data_file(name));
    if (!in) {
        std::printf("Can not open file: %s\n", data_file_path(name).c_str());
        return 0;
    }
    std::puts("\n------------Start to send Command------------");
    if (!replay_command_lines(in.get(), replay_hooks{print_sending, print_result, nullptr}))
        return 0;
    std::puts("-----------------Finished-----------------\n");
    return 1;
}

int save_setting_para(int auto_flag, const char* name)
{
    whole_file f(setting_para_path);
    if (!f)
        return 0;
    std::fputs(auto_flag == 1 ? "1 " : "0 ", f.get());
    std::fputs(name, f.get());
    return f.commit() ? 1 : 0;
}
