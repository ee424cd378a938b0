/*
 * button_clicked.h - the actions of the settings window's buttons.
 */
#ifndef KX_BUTTON_CLICKED_H
#define KX_BUTTON_CLICKED_H

/* Reads all four pages from the module and shows them. */
void button_setting_read_clicked();

#endif
