/*
 * wait.h - the single way the program waits for a datagram.
 *
 * A wait runs the main loop until a datagram is waiting, the time is up or
 * the wait is abandoned, so both windows keep redrawing. While it runs the
 * windows show the busy cursor, the widgets registered here take no input,
 * and the network actions of either window do nothing (they ask
 * action_blocked()); what has no network effect (choosing a list row, the
 * automatic-replay switch) still runs, so nothing the user sees change is
 * ignored.
 */
#ifndef KX_WAIT_H
#define KX_WAIT_H

#include <gtk/gtk.h>

/* Makes every datagram wait of the program go through the main loop, and
 * ends the closing that abandon_all_waits began. */
void install_window_waits();

/* True while a wait is in progress: a click on an action has no effect. */
bool action_blocked();

/* True while the windows show that the program is busy: from the start of
 * a wait until the main loop is idle again after the last one, so that the
 * waits of one action do not make the windows flicker. */
bool busy_shown();

/* w takes no input while the program is busy (it is insensitive then and
 * sensitive otherwise, so give it no sensitivity of its own to keep). */
void insensitive_while_busy(GtkWidget* w);

/* The program is closing: the wait in progress and every later one end
 * at once with WAIT_ABANDONED. */
void abandon_all_waits();

#endif
