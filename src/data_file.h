/*
 * data_file.h - the files the tool writes in its working directory:
 * written whole or not at all.
 */
#ifndef KX_DATA_FILE_H
#define KX_DATA_FILE_H

#include <cstdio>
#include <string>

/* A file written whole or not at all: the text goes to a new file beside
 * path, under a name of its own ("<path>.new.XXXXXX"), which commit()
 * renames over path. Dropped without commit(), the new file is removed
 * and path is as it was. A commit also removes what writers of path that
 * were killed left behind. */
class whole_file {
public:
    explicit whole_file(const std::string& path);
    ~whole_file();
    whole_file(const whole_file&) = delete;
    whole_file& operator=(const whole_file&) = delete;

    explicit operator bool() const { return f_ != nullptr; }
    FILE* get() const { return f_; }
    /* Returns false, leaving path as it was, when anything failed. */
    bool commit();

private:
    std::string path_, fresh_;
    FILE* f_;
};

#endif
