/*
 * data_file.cpp - typed file names, opening regular files only, and whole
 * writes under a temporary name of their own.
 */
#include "data_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#ifndef S_ISREG
#define S_ISREG(m) (((m) & _S_IFMT) == _S_IFREG)
#endif
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

bool plain_file_name(const char* name)
{
    if (name == nullptr || name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return false;
#ifdef _WIN32
    return std::strpbrk(name, "/\\:") == nullptr;
#else
    return std::strchr(name, '/') == nullptr;
#endif
}

std::string data_file_path(const char* name) { return std::string("data/") + name; }

FILE* open_regular(const char* path)
{
    /* Looked at before it is opened: opening a FIFO blocks until a writer
     * comes, and opening a device may already act on it. */
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
#ifdef _WIN32
    return std::fopen(path, "rb");
#else
    /* Should a FIFO take its place meanwhile, the open still returns. */
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    FILE* f = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? fdopen(fd, "rb") : nullptr;
    if (f == nullptr)
        close(fd);
    return f;
#endif
}

FILE* open_data_file(const char* name)
{
    return plain_file_name(name) ? open_regular(data_file_path(name).c_str()) : nullptr;
}

bool regular_or_missing(const char* path)
{
    struct stat st;
    if (stat(path, &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

namespace {

const char fresh_pattern[] = ".new.XXXXXX";

/* Fills the six X of a fresh name with letters and digits. */
void fill_unique(std::string* name)
{
    static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 gen{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof chars - 2);
    for (size_t i = name->size() - 6; i < name->size(); ++i)
        (*name)[i] = chars[pick(gen)];
}

#ifndef _WIN32
/* Whether entry is a new file of a writer of base: "<base>.new.XXXXXX",
 * or "<base>.new" as earlier versions named it. */
bool fresh_name_of(const std::string& entry, const std::string& base)
{
    const std::string stem = base + ".new";
    if (entry.compare(0, stem.size(), stem) != 0)
        return false;
    return entry.size() == stem.size() ||
           (entry.size() == base.size() + std::strlen(fresh_pattern) && entry[stem.size()] == '.');
}

struct dir_closer {
    void operator()(DIR* d) const { closedir(d); }
};

/* Removes the new files that killed writers of path left. A writer holds
 * a lock on its file until the rename, so a file that can be locked has
 * no writer any more; a file of earlier versions was never locked. */
void remove_leftovers(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string base = path.substr(dir.size());
    std::unique_ptr<DIR, dir_closer> d(opendir(dir.empty() ? "." : dir.c_str()));
    if (!d)
        return;
    while (dirent* e = readdir(d.get())) {
        if (!fresh_name_of(e->d_name, base))
            continue;
        std::string name = dir + e->d_name;
        int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlink(name.c_str());
        close(fd);
    }
}
#endif

} // namespace

#ifndef _WIN32
namespace {

enum class target_way { replace, through, appended, refuse };

/* Whether following the link at path passes a link of /proc, such as
 * /dev/stdout: it names a file this program already has open (standard
 * output redirected to a file), which a rename would take from under it. */
bool through_open_file(std::string at)
{
    for (int hop = 0; hop < 40; ++hop) {
        size_t slash = at.rfind('/');
        std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : at.substr(0, slash);
        std::unique_ptr<char, decltype(&std::free)> real(realpath(dir.c_str(), nullptr), &std::free);
        if (real && std::strncmp(real.get(), "/proc/", 6) == 0)
            return true;
        char link[4096];
        ssize_t n = readlink(at.c_str(), link, sizeof link - 1);
        if (n <= 0)
            return false;
        std::string next(link, static_cast<size_t>(n));
        at = next[0] == '/' ? next : dir + "/" + next;
    }
    return false;
}

/* Where a whole write of path goes, and how: a link is followed to the
 * file it names, so the link stays; what is neither a regular file nor
 * missing is written through when it is a character device, else
 * refused, since a rename would put a plain file in its place. */
target_way writing_target(const std::string& path, std::string* target)
{
    *target = path;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? target_way::replace : target_way::refuse;
    if (S_ISLNK(st.st_mode) && through_open_file(path))
        return target_way::appended;
    if (S_ISLNK(st.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
        if (!real || stat(real.get(), &st) != 0)
            return target_way::refuse;
        *target = real.get();
    }
    if (S_ISREG(st.st_mode))
        return target_way::replace;
    if (S_ISCHR(st.st_mode))
        return target_way::through;
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return target_way::refuse;
}

/* A file already open, named through /proc: added to, as a shell's
 * ">>" would, so what was written to it stays. */
FILE* open_appended(const std::string& path)
{
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
    FILE* f = fd < 0 ? nullptr : fdopen(fd, "ab");
    if (f == nullptr && fd >= 0)
        close(fd);
    return f;
}

/* A character device opened for writing as it is. Opened without
 * blocking, should a FIFO have taken its place meanwhile. */
FILE* open_through(const std::string& path)
{
    int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    FILE* f = nullptr;
    if (fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        f = fdopen(fd, "wb");
    else
        errno = EINVAL;
    if (f == nullptr)
        close(fd);
    return f;
}

} // namespace
#endif

whole_file::whole_file(const std::string& path, unsigned mode) : path_(path), f_(nullptr)
{
#ifndef _WIN32
    errno = 0;
    switch (writing_target(path, &path_)) {
    case target_way::refuse:
        /* Written as ever, and refused at the commit: a caller tells a
         * file it could not start from one it could not finish. */
        refused_ = errno != 0 ? errno : EINVAL;
        break;
    case target_way::through:
        f_ = open_through(path_);
        return;
    case target_way::appended:
        f_ = open_appended(path_);
        return;
    case target_way::replace:
        break;
    }
#endif
    open_fresh(mode);
}

void whole_file::open_fresh(unsigned mode)
{
    /* A few names at most: a name taken, or one whose file a clean-up
     * removed before this writer held it, is passed over. */
    for (int attempt = 0; attempt < 8 && f_ == nullptr; ++attempt) {
        fresh_ = path_ + fresh_pattern;
        fill_unique(&fresh_);
#ifdef _WIN32
        (void)mode;
        /* "x": created here, never an existing file. */
        f_ = std::fopen(fresh_.c_str(), "wbx");
#else
        /* Created with the caller's mode (the umask applies), so a file
         * of keys is never readable by others, not even for a moment; and
         * held locked until the rename, so a clean-up leaves it alone. */
        int fd = open(fresh_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            fresh_.clear();
            return;
        }
        struct stat held, named;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &held) != 0 || stat(fresh_.c_str(), &named) != 0 ||
            held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
            close(fd);
            continue;
        }
        f_ = fdopen(fd, "wb");
        if (f_ == nullptr) {
            close(fd);
            unlink(fresh_.c_str());
            fresh_.clear();
            return;
        }
#endif
    }
}

whole_file::~whole_file()
{
    if (f_ != nullptr) {
        std::fclose(f_);
        if (!fresh_.empty())
            std::remove(fresh_.c_str());
    }
}

bool whole_file::commit()
{
    if (f_ == nullptr)
        return false;
    bool written = std::fflush(f_) == 0 && !std::ferror(f_);
    if (fresh_.empty()) {
        /* Written through: nothing to rename, the close says the rest. */
        bool closed = std::fclose(f_) == 0;
        f_ = nullptr;
        return written && closed;
    }
#ifndef _WIN32
    /* What took the place of a regular file meanwhile is not replaced
     * either. */
    std::string now;
    errno = 0;
    if (refused_ == 0 && (writing_target(path_, &now) != target_way::replace || now != path_))
        refused_ = errno != 0 ? errno : EINVAL;
    if (refused_ != 0) {
        std::fclose(f_);
        f_ = nullptr;
        std::remove(fresh_.c_str());
        errno = refused_;
        return false;
    }
#endif
#ifdef _WIN32
    written = std::fclose(f_) == 0 && written;
    f_ = nullptr;
    if (written)
        std::remove(path_.c_str());
    bool renamed = written && std::rename(fresh_.c_str(), path_.c_str()) == 0;
#else
    /* On disk before the rename, so a crash cannot leave an empty file;
     * renamed while still open, so its lock keeps any clean-up off it. */
    written = written && fsync(fileno(f_)) == 0;
    bool renamed = written && std::rename(fresh_.c_str(), path_.c_str()) == 0;
    renamed = std::fclose(f_) == 0 && renamed;
    f_ = nullptr;
#endif
    if (!renamed) {
        std::remove(fresh_.c_str());
        return false;
    }
#ifndef _WIN32
    remove_leftovers(path_);
#endif
    return true;
}

std::string write_failure(int err)
{
    if (err == EINVAL)
        return "neither a regular file nor a device: not replaced";
    return std::strerror(err != 0 ? err : EIO);
}
