/*
 * setting_file.cpp - reading the tool's settings file.
 */
#include "setting_file.h"

#include <cstdio>
#include <cstring>

#include "strutil.h"

int auto_setting = 0;
char setting_file[30];

const char setting_para_path[] = "set_para.txt";
const char default_setting_file[] = "set_file.txt";

void init_setting_para()
{
    auto_setting = 0;
    copy_text(setting_file, default_setting_file);
    stdio_file f(setting_para_path, "r");
    if (!f)
        return;
    int flag = std::fgetc(f.get());
    std::fgetc(f.get()); /* the separator */
    auto_setting = flag == '1' ? 1 : 0;
    /* More than the field holds, so that a cut can see the character it
     * would split; a line end left by an editor ends the name. */
    char name[4 * sizeof setting_file];
    size_t n = std::fread(name, 1, sizeof name - 1, f.get());
    name[n] = '\0';
    name[std::strcspn(name, "\r\n")] = '\0';
    if (name[0] != '\0')
        copy_chars(setting_file, name);
}
