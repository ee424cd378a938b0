/*
 * edit_rules.h - the rules by which an edit on a module page becomes a
 * value: numbers read as the C library's atoi reads them, the range
 * corrections, the texts of the combo items turned into codes, and the
 * widgets that depend on a choice, all as pure functions of texts and
 * records, without any window.
 */
#ifndef KX_EDIT_RULES_H
#define KX_EDIT_RULES_H

#include <cstddef>

/* Leading blanks, one sign, then digits up to the first other character;
 * no digits give 0. Beyond the range of int it saturates rather than
 * overflowing. */
int decimal_like_atoi(const char* text);

/* *value corrected into [low, high], the lower bound tested first. True
 * when it was corrected (the entry then shows the bound). */
bool correct_into_range(int* value, int low, int high);

/* The combo item converters: the code of text, or the default. */
void struct_com_baud_set(const char* text, char* ret);
void struct_com_data_set(const char* text, char* ret);
void struct_com_parity_set(const char* text, char* ret);
void struct_ap_channel_set(const char* text, char* ret);
void struct_ap_auth_set(const char* text, char* ret);

/* The choices converted inside their handlers; each takes the current
 * code and returns the new one. */
int stop_bits_code(const char* text, int current);
int auto_frame_code(const char* text, int current);
int net_mode_code(const char* text, int current);
int net_prot_code(const char* text, int current);
int ap_standard_code(const char* text, int current);
int encryption_code(const char* text, int current);   /* unknown: current */
int ap_dhcp_code(const char* text, int current);

/* With a TCP server the module listens, so it has no server address but a
 * socket limit; in every other combination the reverse. */
bool server_address_wanted(int mode, int protocol);

/* Which of the three encryption lists an authentication offers. */
enum encryption_list { ENCLIST_OPEN = 0, ENCLIST_SHARED, ENCLIST_WPAPSK };
int encryption_list_of(int auth);

/* "%d.%d.%d.%d" of four bytes into out (16 bytes). */
void dotted_text(const unsigned char* ip, char* out);

/* An entry left as it was needs nothing: its value is the module's and
 * the page's table holds no command for it yet. */
bool entry_unchanged(bool equals_current, const char* cmd, int type);

/* Whether text fits whole, with its terminator, into a field of cap
 * bytes; when not, the console says "Too long for this setting". */
bool text_fits(const char* text, size_t cap);

/* A text typed for a value is sent whole or not at all: it must fit its
 * field of cap bytes (a cut would end inside a character, or change the
 * value), and it may hold no comma, which the module would take for the
 * start of the next value. When it may not be taken, the console says why
 * and the result is false. */
bool text_value_acceptable(const char* text, size_t cap);

#endif
