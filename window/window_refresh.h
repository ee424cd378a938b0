/*
 * window_refresh.h - showing the edited records on the module pages.
 */
#ifndef KX_WINDOW_REFRESH_H
#define KX_WINDOW_REFRESH_H

#include <gtk/gtk.h>

/* Page refresh from the edited records, and the flags each sets at its
 * end; the pages' combo and radio handlers do nothing while theirs is 0. */
void update_mana_widgets();
void update_comm_widgets();
void update_ap_widgets();
void update_sta_widgets();
extern int page_mana_shown, page_comm_shown, page_ap_shown, page_sta_shown;

/* Shows the one of a page's three stacked encryption lists (open, shared,
 * WPA) that the authentication offers. */
void show_encryption_list(GtkWidget* const lists[3], int auth);

/* True while one of the refreshes above runs. */
bool page_refreshing();

#endif
