/*
 * entry.cpp - the program's entry point; everything else is in the
 * libraries so that tests can build the windows in-process.
 *
 * --version is answered here, before the window code runs gtk_init, so
 * it works without a display (a packager's check, a shell over ssh).
 *
 * Standard output is line-buffered before anything is printed: the console
 * lines are what scripts and logs read, and with the output going to a
 * file or a pipe (kxd40-tool > session.log) each line must be there as it
 * is written, as on a terminal, not when the program exits; a crash or a
 * kill would lose whatever still sat in a block buffer.
 */
#include <cstdio>
#include <cstring>

#include "main.h"
#include "version.h"

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("kxd40-tool " KXD40_VERSION);
            return 0;
        }
    return run_tool(argc, argv);
}
