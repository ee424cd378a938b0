/*
 * entry.cpp - the program's entry point; everything else is in the
 * libraries so that tests can build the windows in-process.
 */
#include "main.h"

int main(int argc, char** argv) { return run_tool(argc, argv); }
