/*
 * temp_dir.h - a fixture whose every case works in an empty directory of
 * its own with data/ in it, since the tool's files live in its working
 * directory.
 */
#ifndef KX_TESTS_TEMP_DIR_H
#define KX_TESTS_TEMP_DIR_H

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "sim_runner.h"

struct InTempDir : testing::Test {
    std::string old_dir, dir;
    std::unique_ptr<temp_dir> tmp;
    void SetUp() override
    {
        old_dir = std::unique_ptr<char, decltype(&free)>(getcwd(nullptr, 0), &free).get();
        tmp = std::make_unique<temp_dir>();
        dir = tmp->path;
        ASSERT_EQ(chdir(dir.c_str()), 0);
        mkdir("data", 0755);
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(old_dir.c_str()), 0);
        tmp.reset();
    }
    static std::string read(const char* path)
    {
        std::ifstream in(path, std::ios::binary);
        return in.is_open() ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
    }
    static void write(const char* path, const std::string& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        ASSERT_TRUE(out << bytes) << path;
    }
};

#endif
