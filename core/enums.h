/*
 * enums.h - the enumerated module settings and their texts.
 *
 * Each enumeration has one table that holds, per value, the text by which
 * the module names it in AT commands and replies and the text of its item
 * in the settings window's combo box. Reply parsers, command builders, combo
 * lists and combo converters all read these tables, so a value's texts are
 * written down exactly once.
 */
#ifndef KX_ENUMS_H
#define KX_ENUMS_H

enum ENBAUDRATE {
    BAUDRATE_50 = 0, BAUDRATE_75, BAUDRATE_110, BAUDRATE_134, BAUDRATE_150,
    BAUDRATE_200, BAUDRATE_300, BAUDRATE_600, BAUDRATE_1200, BAUDRATE_1800,
    BAUDRATE_2400, BAUDRATE_4800, BAUDRATE_9600, BAUDRATE_19200, BAUDRATE_38400,
    BAUDRATE_57600, BAUDRATE_115200, BAUDRATE_230400, BAUDRATE_345600, BAUDRATE_460800
};
enum ENCOMBITS { COMBITS_5 = 0, COMBITS_6, COMBITS_7, COMBITS_8 };
enum ENCOMSTOPBITS { COMSTOPBITS_1 = 0, COMSTOPBITS_2 };
enum ENCOMPARITY { COMPARITY_NONE = 0, COMPARITY_ODD, COMPARITY_EVEN, COMPARITY_MARK, COMPARITY_SPACE };
enum ENCOMFLOWCTRL { COMFC_EN = 0, COMFC_DIS };
enum ENCOMAF { COMAF_DIS = 0, COMAF_EN };
enum ENWIFIMODE { WIFIMODE_AP = 0, WIFIMODE_STA };
enum ENWORKMODE { WORKMODE_TH = 0, WORKMODE_AG };
enum ENNETMODE { NETMODE_SERVER = 0, NETMODE_CLIENT };
enum ENNETPROT { NETPROT_TCP = 0, NETPROT_UDP };
enum ENAPSTD { APSTD_11B = 0, APSTD_11G, APSTD_11BG, APSTD_11N, APSTD_11BGN };
enum ENAPCH {
    APCH_AUTO = 0, APCH_CH1, APCH_CH2, APCH_CH3, APCH_CH4, APCH_CH5, APCH_CH6, APCH_CH7,
    APCH_CH8, APCH_CH9, APCH_CH10, APCH_CH11, APCH_CH12, APCH_CH13, APCH_CH14
};
enum ENENCAUTH { WIFIAUTH_OPEN = 0, WIFIAUTH_SHARED, WIFIAUTH_WPAPSK, WIFIAUTH_WPA2PSK };
enum ENENCENC_WPAPSK { ENC_NONE = 0, ENC_WEPH, ENC_WEPA, ENC_TKIP, ENC_AES, ENC_TKIPAES };
enum ENDHCP { DHCP_ENABLE = 0, DHCP_DISABLE };
enum ENLAMP { BLANK = 0, GREEN, RED, YELLOW };
enum ENCMDTYPE { CMDTYPE_MOD = 0, CMDTYPE_COMM, CMDTYPE_AP, CMDTYPE_STA };

/* One value of an enumeration: its module text and its combo item text
 * (nullptr where the value has no combo item). The value is the index. */
struct enum_item {
    const char* module_text;
    const char* combo_text;
};

struct enum_table {
    const enum_item* items;
    int count;
};

extern const enum_table baudrate_table;   /* ENBAUDRATE */
extern const enum_table combits_table;    /* ENCOMBITS */
extern const enum_table stopbits_table;   /* ENCOMSTOPBITS */
extern const enum_table parity_table;     /* ENCOMPARITY */
extern const enum_table flowctrl_table;   /* ENCOMFLOWCTRL */
extern const enum_table autoframe_table;  /* ENCOMAF */
extern const enum_table wifimode_table;   /* ENWIFIMODE */
extern const enum_table workmode_table;   /* ENWORKMODE */
extern const enum_table netmode_table;    /* ENNETMODE */
extern const enum_table netprot_table;    /* ENNETPROT */
extern const enum_table apstd_table;      /* ENAPSTD */
extern const enum_table apch_table;       /* ENAPCH */
extern const enum_table auth_table;       /* ENENCAUTH */
extern const enum_table encry_table;      /* ENENCENC_WPAPSK */
extern const enum_table dhcp_table;       /* ENDHCP */

/* Value whose module text equals text exactly, or fallback. */
int enum_by_module_text(const enum_table& t, const char* text, int fallback);
/* Value whose combo text equals text exactly, or fallback. */
int enum_by_combo_text(const enum_table& t, const char* text, int fallback);
/* Module text of value, or fallback for a value outside the table. */
const char* enum_module_text(const enum_table& t, int value, const char* fallback);
/* Combo text of value, or nullptr. */
const char* enum_combo_text(const enum_table& t, int value);

#endif
