/*
 * entry.cpp - the program's entry point; everything else is in the
 * libraries so that tests can build the windows in-process.
 *
 * --version is answered here, before the window code runs gtk_init, so
 * it works without a display (a packager's check, a shell over ssh).
 */
#include <cstdio>
#include <cstring>

#include "main.h"
#include "version.h"

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("kxd40-tool " KXD40_VERSION);
            return 0;
        }
    return run_tool(argc, argv);
}
