/*
 * rendered_rows.h - the pending commands of one page as the module would
 * get them, for comparing in tests.
 */
#ifndef KX_TESTS_RENDERED_ROWS_H
#define KX_TESTS_RENDERED_ROWS_H

#include <string>
#include <vector>

#include "command.h"

inline std::vector<std::string> rendered_rows(int type)
{
    int* count = nullptr;
    STRCOMMAND* r = command_rows(type, &count);
    std::vector<std::string> out;
    char text[CMD_TEXT_MAX];
    for (int i = 0; r != nullptr && i < *count; ++i)
        out.push_back((render_command(r[i], text, sizeof text), text));
    return out;
}

#endif
