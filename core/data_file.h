/*
 * data_file.h - the files the tool reads and writes in its working
 * directory: which typed names name a file in data/, opening only
 * regular files, and writing a file whole or not at all.
 *
 * A name typed in a window (a command file, a firmware image) stays in
 * data/: with a "/" or as "." or "..", it could reach the settings file,
 * the logo or anything else the user can read. Reading a FIFO would block
 * the window and a device is no file to replay or upload, so only regular
 * files are opened.
 */
#ifndef KX_DATA_FILE_H
#define KX_DATA_FILE_H

#include <cstdio>
#include <string>

/* Whether name names a file directly in data/: not empty, no path
 * separator, not "." or "..". */
bool plain_file_name(const char* name);

/* "data/" and name. */
std::string data_file_path(const char* name);

/* path opened for reading when it is a regular file (symbolic links
 * followed), else nullptr; a FIFO or a device is never opened. */
FILE* open_regular(const char* path);

/* open_regular of data/<name> when name is a plain file name. */
FILE* open_data_file(const char* name);

/* Whether a file may be written at path: nothing is there yet, or a
 * regular file. */
bool regular_or_missing(const char* path);

/* A file written whole or not at all: the text goes to a new file beside
 * path, under a name of its own ("<path>.new.XXXXXX"), created with mode
 * (less the umask), which commit() renames over path. Dropped without
 * commit(), the new file is removed and path is as it was. A commit also
 * removes what writers of path that were killed left behind (not on
 * Windows, which has no advisory lock to tell a live writer's file from a
 * dead one's).
 *
 * What is at path decides what is replaced: a symbolic link stays a link
 * and the regular file it names is replaced, in its own directory; a
 * character device (/dev/null, a terminal) is written through, opened as
 * it is and never replaced, and so is a file named by a link of /proc
 * (/dev/stdout), added to; a directory, a FIFO, a socket, a block device
 * or a link that names nothing is refused: the text is written as ever,
 * and commit() fails (errno tells why: EISDIR, or EINVAL for another kind
 * of file) and leaves it as it was. */
class whole_file {
public:
    explicit whole_file(const std::string& path, unsigned mode = 0666);
    ~whole_file();
    whole_file(const whole_file&) = delete;
    whole_file& operator=(const whole_file&) = delete;

    explicit operator bool() const { return f_ != nullptr; }
    FILE* get() const { return f_; }
    /* Returns false, leaving path as it was, when anything failed. */
    bool commit();

private:
    void open_fresh(unsigned mode);

    std::string path_, fresh_; /* path_: the file replaced; fresh_: "" when written through */
    FILE* f_;
    int refused_ = 0; /* why path_ is not replaced, an errno */
};

/* Why a whole_file could not be written, for a message: err as errno
 * left it (0: an input/output error). */
std::string write_failure(int err);

#endif
