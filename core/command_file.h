/*
 * command_file.h - sending a page's pending commands, the command files,
 * and writing files so that none is ever left half written.
 *
 * A confirmed page leaves its commands in a temporary command file in the
 * working directory ("cmd_mana_tmp.txt" and so on: the lines, then "E"
 * without a line end). Saving joins the four into the command file under
 * data/ ("E\n" last); replaying sends a command file's lines to the module.
 * Every file is written whole (whole_file, data_file.h).
 */
#ifndef KX_COMMAND_FILE_H
#define KX_COMMAND_FILE_H

#include <cstdio>
#include <string>

#include "data_file.h"

/* The temporary command file of page type (ENCMDTYPE), or nullptr. */
const char* page_command_file(int type);

/* What came of sending a page's commands. */
enum confirm_result {
    CONFIRM_DONE,      /* every command accepted; the file holds them */
    CONFIRM_UNSAVED,   /* every command accepted; the file could not be written
                          (an older one is removed) */
    CONFIRM_NO_FILE,   /* the file could not be written; nothing sent */
    CONFIRM_REFUSED,   /* the module refused at least one command */
    CONFIRM_STOPPED    /* the module fell silent or the link ended */
};

/* Sends every pending row of page type in order, with the console lines,
 * and rewrites the page's temporary command file only when the module
 * accepted them all. The table itself is left to the caller. */
int send_page_commands(int type);

/* Joins the four temporary command files, in page order, into the
 * command file data/<name>, then "E\n". Creates data/ when it is missing.
 * Returns 0 with the console line when the file cannot be written: name
 * is no plain file name (data_file.h), or something else than a regular
 * file is there. */
int save_command_file(const char* name);

/* Sends the lines of the command file data/<name>, a regular file, to the
 * module (replay_command_lines), with the console lines. Returns 0 when
 * the file cannot be opened or the replay stopped. */
int replay_command_file(const char* name);

/* What became of one line of a replayed command file. A line is not sent
 * when it is longer than 399 characters (the line given is its start),
 * holds a NUL byte (the line given ends there) or switches the module to
 * firmware reception, which only the upload may do (LINE_REFUSED). */
enum replay_line { LINE_ACCEPTED, LINE_REFUSED, LINE_SILENT, LINE_TOO_LONG, LINE_NOT_TEXT };

/* Whether line is the command name ("AT+Z", in capitals), however it is
 * spelled where a module would take it: in any case, after blanks, with
 * blanks and line ends after it, and, when with_value, with a value
 * ("=...", "?") after it. */
bool names_command(const std::string& line, const char* name, bool with_value);
/* Whether line switches a module to firmware reception ("AT+FWUPDAT"),
 * which only an upload may send: the module would store the next datagram
 * as its firmware. */
bool switches_to_firmware(const std::string& line);

/* What a replay tells its caller; each function may be nullptr. sending
 * is told only of the lines that go to the module. */
struct replay_hooks {
    void (*sending)(const char* line, void* context);
    void (*done)(const char* line, int result, void* context); /* a replay_line */
    void* context;
};

/* The replay itself, from an open command file, without console lines:
 * each line (ended by LF or CR LF) until an empty one, one beginning "E"
 * or the end goes to the module, but for those it must not get; a refused
 * or unsent line does not stop it, a silent module does. Returns 1 when
 * it went to its end, 0 when it stopped. */
int replay_command_lines(FILE* in, const replay_hooks& hooks);
/* The same on any link. */
struct module_link;
int replay_command_lines(module_link& l, FILE* in, const replay_hooks& hooks);

/* The next line of a command file, by the replay's rules (its line end
 * taken off, at most 399 characters kept, *too_long telling there were
 * more); false at the end: the end of the file, an empty line or one
 * beginning "E". */
bool next_command_line(FILE* in, std::string* line, bool* too_long);
/* Sends one such line on the link unless it must not go (then the hooks
 * hear why); returns its replay_line. */
int replay_one_line(module_link& l, const std::string& line, bool too_long, const replay_hooks& hooks);

/* The bytes of line, at most 40 and ending on a character boundary, that
 * name an unsent line on the console. */
int line_excerpt(const char* line);

/* Writes "set_para.txt": "1 " or "0 ", then name. Returns 0, leaving the
 * old file, when it cannot be written. */
int save_setting_para(int auto_flag, const char* name);

/* Why a sequence of exchanges stopped, for the console. */
const char* stop_reason();

#endif
