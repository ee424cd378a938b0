/*
 * target_list.cpp - addresses, ranges and address files; the command file
 * and the image, opened only when they are regular files.
 */
#include "target_list.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <set>
#include <sys/stat.h>

#include "data_file.h"
#include "netio.h"
#include "strutil.h"

namespace kxctl {
namespace {

enum { ADDRESSES_MAX = 65536 };

std::string trimmed(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t\r");
    size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

bool all_digits(const std::string& s)
{
    if (s.empty() || s.size() > 3)
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

/* One address or last-group range into *out; false when it is neither. */
bool expand_one(const std::string& word, std::vector<std::string>* out)
{
    unsigned char b[4];
    size_t dash = word.find('-');
    if (dash == std::string::npos) {
        if (!parse_dotted_ipv4(word.c_str(), b))
            return false;
        out->push_back(std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
                       std::to_string(b[3]));
        return true;
    }
    std::string first = word.substr(0, dash), last = word.substr(dash + 1);
    if (!parse_dotted_ipv4(first.c_str(), b) || !all_digits(last))
        return false;
    int to = std::stoi(last);
    if (to > 255 || to < b[3])
        return false;
    std::string prefix = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + ".";
    for (int i = b[3]; i <= to; ++i)
        out->push_back(prefix + std::to_string(i));
    return true;
}

/* The words of an address file, without blanks and comments. */
bool file_words(const std::string& path, std::vector<std::string>* words)
{
    stdio_file f(open_regular(path.c_str()));
    if (!f)
        return false;
    std::string line;
    int c;
    while ((c = std::fgetc(f.get())) != EOF || !line.empty()) {
        if (c != EOF && c != '\n') {
            line.push_back(static_cast<char>(c));
            continue;
        }
        std::string word = trimmed(line.substr(0, line.find('#')));
        if (!word.empty())
            words->push_back(word);
        line.clear();
        if (c == EOF)
            break;
    }
    return true;
}

} // namespace

std::string expand_targets(const std::vector<std::string>& words, std::vector<std::string>* out)
{
    std::vector<std::string> all;
    for (const std::string& word : words) {
        if (!word.empty() && word[0] == '@') {
            std::vector<std::string> listed;
            if (!file_words(word.substr(1), &listed))
                return "cannot read the address file " + word.substr(1);
            for (const std::string& w : listed)
                if (!expand_one(w, &all))
                    return "not a module address in " + word.substr(1) + ": " + w;
        } else if (!expand_one(word, &all)) {
            return "not a module address or range: " + word;
        }
        if (all.size() > ADDRESSES_MAX)
            return "more than " + std::to_string(ADDRESSES_MAX) + " modules named";
    }
    std::set<std::string> seen(out->begin(), out->end());
    for (const std::string& a : all)
        if (seen.insert(a).second)
            out->push_back(a);
    return "";
}

void split_send_words(std::vector<std::string>* words, std::vector<std::string>* commands)
{
    for (size_t i = 0; i < words->size(); ++i) {
        const std::string& w = (*words)[i];
        if (w.size() >= 2 && std::toupper(static_cast<unsigned char>(w[0])) == 'A' &&
            std::toupper(static_cast<unsigned char>(w[1])) == 'T') {
            commands->assign(words->begin() + static_cast<long>(i), words->end());
            words->resize(i);
            return;
        }
    }
}

int read_regular_text(const std::string& path, std::string* text)
{
    FILE* opened = path == "-" ? stdin : open_regular(path.c_str());
    if (opened == nullptr)
        return TEXT_NOT_OPENED;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, opened)) > 0)
        text->append(buf, n);
    bool ok = !std::ferror(opened);
    if (opened != stdin)
        std::fclose(opened);
    return ok ? TEXT_READ : TEXT_NOT_READ;
}

bool read_command_text(const std::string& path, std::string* text)
{
    int r = read_regular_text(path, text);
    if (r == TEXT_NOT_OPENED)
        std::fprintf(stderr, "kxd40ctl: cannot open %s: not a readable regular file\n", path.c_str());
    else if (r == TEXT_NOT_READ)
        std::fprintf(stderr, "kxd40ctl: cannot read %s\n", path.c_str());
    return r == TEXT_READ;
}

bool regular_file_or_complain(const std::string& path)
{
    stdio_file f(open_regular(path.c_str()));
    if (f)
        return true;
    std::fprintf(stderr, "kxd40ctl: cannot open %s: not a readable regular file\n", path.c_str());
    return false;
}

bool is_directory(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace kxctl
