/*
 * data_file_test.cpp - the files kxd40ctl writes whole, met as a person
 * meets them: --failed-to naming a device, a symbolic link or a FIFO is
 * written through, followed or refused, never replaced by a plain file;
 * and a write given up or overtaken leaves the file as it was.
 */
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "ctl_run.h"
#include "data_file.h"
#include "sim_runner.h"

namespace {

/* /dev as a tmpfs holding a fresh null device alone, in a mount namespace
 * of this process: whatever kxd40ctl does to /dev/null, the machine's own
 * is out of its reach. Undone when the case ends. */
class private_dev {
public:
    private_dev()
    {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return;
        mounted_ = mount("tmpfs", "/dev", "tmpfs", 0, "mode=0755") == 0;
        ready_ = mounted_ && mknod("/dev/null", S_IFCHR | 0666, makedev(1, 3)) == 0;
    }
    ~private_dev()
    {
        if (mounted_)
            umount2("/dev", MNT_DETACH);
    }
    bool ready() const { return ready_; }

private:
    bool mounted_ = false, ready_ = false;
};

mode_t kind_of(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

} // namespace

TEST(DataFile, FailedToIsWrittenThroughFollowedOrRefusedButNeverReplaced)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    char name[] = "/tmp/kxfailed.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const std::string dir = name, list = dir + "/list.txt", link = dir + "/link.txt", fifo = dir + "/fifo";
    write_file(list, "old\n");
    ASSERT_EQ(symlink("list.txt", link.c_str()), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> read = {"read", "--tries", "1", "--timeout", "100", "127.0.0.2", "127.0.0.9"};
    auto failed_to = [&](const std::string& path) {
        std::vector<std::string> args = read;
        args.insert(args.begin() + 1, {"--failed-to", path});
        return ctl(args);
    };

    ctl_result r = failed_to(link);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(kind_of(link), S_IFLNK) << "the link stays a link";
    EXPECT_EQ(file_text(list), "127.0.0.9\n") << "and the file it names is written";

    r = failed_to(fifo);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kxd40ctl: cannot write " + fifo + ": neither a regular file nor a device: not replaced\n"), std::string::npos) << r.err;
    EXPECT_EQ(kind_of(fifo), S_IFIFO);
    auto left = std::filesystem::directory_iterator(dir);
    EXPECT_EQ(std::distance(begin(left), end(left)), 3) << "no new file left beside the refused one";

    {
        private_dev dev;
        ASSERT_TRUE(dev.ready());
        r = failed_to("/dev/null");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.find("cannot write"), std::string::npos) << r.err;
        EXPECT_EQ(kind_of("/dev/null"), S_IFCHR) << "still the device";
        auto entries = std::filesystem::directory_iterator("/dev");
        EXPECT_EQ(std::distance(begin(entries), end(entries)), 1) << "nothing left beside it";

        /* Standard output redirected to a file is added to, not replaced
         * under the program's feet. */
        ASSERT_EQ(symlink("/proc/self/fd/1", "/dev/stdout"), 0);
        r = failed_to("/dev/stdout");
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.out.find("module 127.0.0.2 (KXD40-0002)\n"), 0u) << r.out;
        EXPECT_EQ(r.out.substr(r.out.size() - 10), "127.0.0.9\n") << r.out;
        EXPECT_EQ(kind_of("/dev/stdout"), S_IFLNK);
    }
    std::filesystem::remove_all(dir);
}

/* A backup given up half written (its disk full) leaves no new file
 * behind; and a link put in the file's place while it was written is not
 * replaced by a plain file at the commit, nor is the file it names. */
TEST(DataFile, AWriteGivenUpOrOvertakenLeavesTheFilesAsTheyWere)
{
    temp_dir dir;
    const std::string file = dir.path + "/backup.json", other = dir.path + "/other.json";
    write_file(file, "old\n");
    write_file(other, "other\n");
    auto entries = [&] {
        auto it = std::filesystem::directory_iterator(dir.path);
        return std::distance(begin(it), end(it));
    };
    {
        whole_file given_up(file, 0600);
        ASSERT_TRUE(given_up);
        std::fputs("half", given_up.get());
        std::fflush(given_up.get());
    }
    EXPECT_EQ(entries(), 2) << "no new file left beside the backup";
    EXPECT_EQ(file_text(file), "old\n");

    whole_file overtaken(file, 0600);
    ASSERT_TRUE(overtaken);
    std::fputs("new\n", overtaken.get());
    ASSERT_EQ(std::remove(file.c_str()), 0);
    ASSERT_EQ(symlink("other.json", file.c_str()), 0);
    EXPECT_FALSE(overtaken.commit());
    EXPECT_EQ(kind_of(file), S_IFLNK) << "the link stays";
    EXPECT_EQ(file_text(other), "other\n");
    EXPECT_EQ(entries(), 2);
}
