/*
 * wait.h - the single way the program waits for a datagram.
 *
 * A wait runs the main loop until a datagram is waiting, the time is up or
 * the wait is abandoned, so both windows keep redrawing. While it runs, the
 * actions of either window do nothing (they ask action_blocked()).
 */
#ifndef KX_WAIT_H
#define KX_WAIT_H

/* Makes every datagram wait of the program go through the main loop. */
void install_window_waits();

/* True while a wait is in progress: a click on an action has no effect. */
bool action_blocked();

/* Ends the wait in progress, if any, with WAIT_ABANDONED. */
void abandon_current_wait();

/* The program is closing: the wait in progress and every later one end
 * at once with WAIT_ABANDONED. */
void abandon_all_waits();

#endif
