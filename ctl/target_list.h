/*
 * target_list.h - the words of kxd40ctl's command line that name modules
 * and files, checked before anything is sent.
 */
#ifndef KXCTL_TARGET_LIST_H
#define KXCTL_TARGET_LIST_H

#include <cstdint>
#include <string>
#include <vector>

namespace kxctl {

/* Each word an address ("198.51.100.10"), a range of the last group
 * ("198.51.100.10-49") or @FILE (one address or range per line; blank
 * lines and lines from '#' on are ignored; or a CSV, whose "ip" column is
 * taken, rows with none skipped), appended to *out in order,
 * each address once. "" when all were valid, else what is wrong. An
 * address of this machine, or the network or broadcast address of one of
 * its subnets, named alone is wrong; within a range it is left out with a
 * line on stderr. */
std::string expand_targets(const std::vector<std::string>& words, std::vector<std::string>* out);

/* A dotted address, by parse_dotted_ipv4's rules, as a number that sorts
 * as the addresses do; 0 for text that is no address. */
uint32_t address_number(const std::string& dotted);

/* send's words: the targets first, then from the first one that begins
 * "AT" (in any case) the commands. */
void split_send_words(std::vector<std::string>* words, std::vector<std::string>* commands);

/* send's commands, checked before anything is sent: "" when they may go,
 * else why not. */
std::string check_send_commands(const std::vector<std::string>& commands);

/* A file's whole text: path a regular file, or "-" for standard input,
 * of at most TEXT_BYTES_MAX bytes (TEXT_TOO_LARGE, text cut there). Address
 * files have the same bound. */
enum { TEXT_BYTES_MAX = 4 << 20 };
enum { TEXT_READ, TEXT_NOT_OPENED, TEXT_NOT_READ, TEXT_TOO_LARGE };
/* The bound as a person reads it, "4 MiB". */
std::string text_limit();
int read_regular_text(const std::string& path, std::string* text);

/* The same for the command file (read once, for every module); false with
 * a line on stderr. */
bool read_command_text(const std::string& path, std::string* text);

/* True when path opens as a regular file; else false with a line on
 * stderr. */
bool regular_file_or_complain(const std::string& path);

/* The same for a firmware image, which must not be empty either. */
bool image_or_complain(const std::string& path);

/* True when path is a directory (symbolic links followed). */
bool is_directory(const std::string& path);

} // namespace kxctl

#endif
