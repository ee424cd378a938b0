/*
 * window.h - the settings window as a whole.
 *
 * Its parts declare their own globals and functions; this header brings
 * them in, so that what shows or drives the whole window (the search
 * window, tests) needs only this one.
 */
#ifndef KX_WINDOW_H
#define KX_WINDOW_H

#include <gtk/gtk.h>

#include "notebook.h"
#include "window_frame.h"
#include "window_pages.h"
#include "window_refresh.h"

/* Builds and shows the settings window for the chosen module. */
void init_window();

#endif
