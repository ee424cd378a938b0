/*
 * data_file.cpp - typed file names, opening regular files only, and whole
 * writes under a temporary name of their own.
 */
#include "data_file.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
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

#ifndef _WIN32
mode_t new_file_mode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

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

whole_file::whole_file(const std::string& path) : path_(path), fresh_(path + fresh_pattern), f_(nullptr)
{
#ifdef _WIN32
    if (_mktemp_s(&fresh_[0], fresh_.size() + 1) == 0)
        f_ = std::fopen(fresh_.c_str(), "wb");
#else
    int fd = mkstemp(&fresh_[0]);
    if (fd < 0)
        return;
    flock(fd, LOCK_EX | LOCK_NB);
    /* mkstemp makes the file private; the finished file is made as any
     * other new file would be. */
    fchmod(fd, new_file_mode());
    f_ = fdopen(fd, "wb");
    if (f_ == nullptr) {
        close(fd);
        unlink(fresh_.c_str());
    }
#endif
}

whole_file::~whole_file()
{
    if (f_ != nullptr) {
        std::fclose(f_);
        std::remove(fresh_.c_str());
    }
}

bool whole_file::commit()
{
    if (f_ == nullptr)
        return false;
    bool written = std::fflush(f_) == 0 && !std::ferror(f_);
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
    std::fclose(f_);
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
