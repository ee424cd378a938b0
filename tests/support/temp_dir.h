/*
 * temp_dir.h - a test fixture that works in an empty directory of its
 * own (with data/ in it), since the tool's files live in its working
 * directory.
 */
#ifndef KX_TESTS_TEMP_DIR_H
#define KX_TESTS_TEMP_DIR_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

/* Each case works in an empty directory of its own. */
struct InTempDir : testing::Test {
    std::string old_dir, dir;
    void SetUp() override
    {
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        old_dir = cwd;
        char tmpl[] = "/tmp/kxd40-files-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_EQ(chdir(dir.c_str()), 0);
        mkdir("data", 0755);
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(old_dir.c_str()), 0);
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    static std::string read(const char* path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in.is_open())
            return "<missing>";
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static void write(const char* path, const std::string& bytes)
    {
        FILE* f = std::fopen(path, "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
};

#endif
