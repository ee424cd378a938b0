/*
 * command_file.cpp - confirming a page to the module, the temporary and
 * saved command files, their replay, and the settings file writer.
 */
#include "command_file.h"

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

namespace {

const char* const page_files[] = {"cmd_mana_tmp.txt", "cmd_comm_tmp.txt", "cmd_ap_tmp.txt",
                                  "cmd_sta_tmp.txt"};

enum { LINE_MAX_CHARS = 399 };

/* One line of at most LINE_MAX_CHARS characters, without its line feed;
 * the rest of a longer line is skipped. False at the end of the file. */
bool read_line(FILE* f, std::string* line)
{
    line->clear();
    int c;
    while ((c = std::fgetc(f)) != EOF && c != '\n')
        if (line->size() < LINE_MAX_CHARS)
            line->push_back(static_cast<char>(c));
    return c != EOF || !line->empty();
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
         * its values now, only this file does not record them. */
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
    for (const char* name : page_files) {
        FILE* in = std::fopen(name, "rb");
        if (in == nullptr)
            continue;
        while (read_line(in, &line) && (line.empty() || line[0] != 'E'))
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

int replay_command_lines(FILE* in, const replay_hooks& hooks)
{
    std::string line;
    while (read_line(in, &line) && !ends_a_command_file(line)) {
        if (hooks.sending != nullptr)
            hooks.sending(line.c_str(), hooks.context);
        int result = LINE_ACCEPTED;
        if (module_send_cmd_set(line.c_str()) != 1)
            result = module_silent ? LINE_SILENT : LINE_REFUSED;
        if (hooks.done != nullptr)
            hooks.done(line.c_str(), result, hooks.context);
        if (result == LINE_SILENT)
            return 0;
    }
    return 1;
}

namespace {

void print_sending(const char* line, void*) { std::printf("Send Command: %s\n", line); }

void print_result(const char* line, int result, void*)
{
    if (result == LINE_SILENT)
        std::puts(stop_reason());
    else if (result == LINE_REFUSED)
        std::printf("Command refused: %s\n", line);
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
