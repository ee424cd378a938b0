/*
 * button_clicked.h - the actions of the settings window's buttons: reading,
 * the command files, page confirm and cancel, restart and factory reset.
 */
#ifndef KX_BUTTON_CLICKED_H
#define KX_BUTTON_CLICKED_H

/* Reads all four pages from the module and shows them. */
void button_setting_read_clicked();
/* Joins the pages' confirmed commands into the command file. */
void button_setting_save_clicked();
/* Sends the command file's lines to the module. */
void button_setting_down_clicked();
/* Switches the replay on connect and writes "set_para.txt". */
void button_setting_auto_clicked();
void save_setting_file();
/* "AT+Z\n", answered by nothing; the link counts as ended. */
void button_mod_restart_clicked();
/* "AT+RELD", then as restart. */
void button_mod_reload_clicked();

/* Sends a page's pending commands; commits the page when all were
 * accepted. */
void confirm_page(int type);
/* Throws a page's pending values away. */
void cancel_page(int type);

void button_mana_confirm_clicked();
void button_mana_cancel_clicked();
void button_comm_confirm_clicked();
void button_comm_cancel_clicked();
void button_ap_confirm_clicked();
void button_ap_cancel_clicked();
void button_sta_confirm_clicked();
void button_sta_cancel_clicked();

#endif
