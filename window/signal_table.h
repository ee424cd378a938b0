/*
 * signal_table.h - which handler each name string of the settings window
 * reaches: the tables the dispatchers of callback.h are handed.
 */
#ifndef KX_SIGNAL_TABLE_H
#define KX_SIGNAL_TABLE_H

/* Hands every dispatcher its table; init_window does it before it builds
 * the widgets, and again for each window, which does no harm. */
void install_signal_tables();

#endif
