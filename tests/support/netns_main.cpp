/*
 * netns_main.cpp - GoogleTest entry for test programs that open sockets:
 * the process leaves the machine's network before any test runs (not to
 * list them, so discovery needs no privileges).
 */
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

#include "netns.h"

int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string why;
    if (!listing && !enter_private_network(&why)) {
        std::fprintf(stderr, "cannot enter a private network: %s\n", why.c_str());
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
