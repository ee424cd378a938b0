/*
 * command.h - the pending setting commands of the four pages and the
 * builders that turn the edited records into them.
 *
 * Each page has a table of at most ten rows, one per AT setting command its
 * edits touched, in the order they were first touched. Every edit handler
 * calls generate_cmd with the command and the value that changed; the
 * command's builder creates the row from the page's edited record, or
 * rewrites the value named, and the console lists every pending command.
 */
#ifndef KX_COMMAND_H
#define KX_COMMAND_H

#include <cstddef>
#include <string>
#include <vector>

enum {
    CMD_ROWS = 10,        /* rows of one table */
    CMD_VALUES = 10,      /* values of one row */
    CMD_VALUE_MAX = 100,  /* bytes of one value text */
    CMD_TEXT_MAX = 200    /* bytes of a rendered command */
};

struct STRCOMMAND {
    char cmd[10];                          /* name without "AT+" */
    char value[CMD_VALUES][CMD_VALUE_MAX]; /* in command order */
    int value_num;
};

/* The four tables of one set of pages, by page type (ENCMDTYPE). */
struct command_tables {
    STRCOMMAND rows[4][CMD_ROWS];
    int count[4] = {0, 0, 0, 0};
};

/* The window's pending commands, and the names the window knows them by. */
extern command_tables window_tables;
extern STRCOMMAND (&strcommand_mod)[CMD_ROWS], (&strcommand_comm)[CMD_ROWS];
extern STRCOMMAND (&strcommand_ap)[CMD_ROWS], (&strcommand_sta)[CMD_ROWS];
extern int &cmd_num_mod, &cmd_num_comm, &cmd_num_ap, &cmd_num_sta;

/* Row of cmd in the table of page type (ENCMDTYPE), or -1. */
int find_cmd(const char* cmd, int type);
int find_cmd(command_tables& t, const char* cmd, int type);

struct module_pages;

/* The builder of the setting command name ("UART") run on any module's
 * edited records into any tables, as generate_cmd does on the window's.
 * False when name has no builder. */
bool build_command(const module_pages& from, command_tables& to, const char* name, const char* item);

/* The values of the setting command name as its builder writes them from
 * the edited records of from: as sent, or full, with the items a command
 * carries only sometimes (a key without encryption, the addresses with
 * DHCP) as the records hold them. Empty when name has no builder. */
std::vector<std::string> command_values(const module_pages& from, const char* name, bool full);

/* Runs the builder of cmd with item, then prints the listing of every
 * pending command. A name without a builder changes no table. */
void generate_cmd(const char* cmd, const char* item);

/* Prints the rendered rows of one table, one line each. */
void printf_command(int type);

/* "AT+" name "=" and the values joined by ",", cut to cap. Returns the
 * length. */
size_t render_command(const STRCOMMAND& row, char* out, size_t cap);

/* Empties the four tables: the edits they came from are gone with the
 * window that showed them. */
void drop_pending_commands();
void drop_pending_commands(command_tables& t);

/* The rows of page type and their count; nullptr for another number. */
STRCOMMAND* command_rows(int type, int** count);
STRCOMMAND* command_rows(command_tables& t, int type, int** count);

/* The builders, one per setting command; item names the value changed. */
void generate_cmd_uart(const char* item);
void generate_cmd_uartf(const char* item);
void generate_cmd_uartft(const char* item);
void generate_cmd_uartfl(const char* item);
void generate_cmd_netp(const char* item);
void generate_cmd_tcpto(const char* item);
void generate_cmd_maxsk(const char* item);
void generate_cmd_wmode(const char* item);
void generate_cmd_tmode(const char* item);
void generate_cmd_webu(const char* item);
void generate_cmd_wap(const char* item);
void generate_cmd_wakey(const char* item);
void generate_cmd_lann(const char* item);
void generate_cmd_dhcpgw(const char* item);
void generate_cmd_wskey(const char* item);
void generate_cmd_wann(const char* item);
void generate_cmd_wsssid(const char* item);

/* The value writers: the module's text for a field value into ret (100
 * bytes). Each enumeration writes its own text for a number outside it. */
void cmd_com_baud_set(char* ret, int value);
void cmd_com_data_set(char* ret, int value);
void cmd_com_stop_set(char* ret, int value);
void cmd_com_parity_set(char* ret, int value);
void cmd_com_fc_set(char* ret, int value);
void cmd_com_uartf_set(char* ret, int value);
void cmd_net_mode_set(char* ret, int value);
void cmd_net_prot_set(char* ret, int value);
void cmd_net_port_set(char* ret, unsigned short port);
void cmd_net_ip_set(char* ret, const unsigned char* ip);
void cmd_ap_mode_set(char* ret, int value);
void cmd_ap_ssid_set(char* ret, const char* ssid);
void cmd_ap_ch_set(char* ret, int value);
void cmd_auth_set(char* ret, int value);
void cmd_encry_set(char* ret, int value);
void cmd_key_set(char* ret, const char* key);

#endif
