/*
 * netns_main.cpp - GoogleTest entry for test programs that open sockets.
 * The process leaves the machine's network before any test runs.
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

#include "netns.h"

int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            listing = true;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string why;
    if (!listing && !enter_private_network(&why)) {
        std::fprintf(stderr, "cannot enter a private network: %s\n", why.c_str());
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
