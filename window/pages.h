/*
 * pages.h - the four module pages of the settings window, by ENCMDTYPE:
 * everything the builder, the read, page switching, confirm and cancel
 * need to know of a page, in one table.
 */
#ifndef KX_PAGES_H
#define KX_PAGES_H

#include <gtk/gtk.h>

struct settings_page {
    int type;                    /* ENCMDTYPE, also the notebook page */
    const char* tab;             /* GB18030 tab text */
    void (*build)(GtkWidget*);   /* lays out the page */
    void (*read)();              /* the page's queries into its record */
    void (*refresh)();           /* the edited record onto the widgets */
    void (*commit)();            /* edited record -> current (confirm) */
    void (*revert)();            /* current record -> edited (cancel) */
    int* inited;                 /* of the current record */
    int* dirty;                  /* the page's modified mark */
    GtkWidget** confirm;         /* the page's confirm button */
    int* shown;                  /* guard: the page was refreshed once */
};

enum { SETTINGS_PAGES = 4 };
extern const settings_page settings_pages[SETTINGS_PAGES];

/* The page of type, or nullptr for another number. */
const settings_page* settings_page_of(int type);

/* Whether the page's table holds a command to send. */
bool page_pending(int type);

/* The page has edits not yet confirmed: the first one makes its confirm
 * button usable. A page with no command pending is never marked. */
void mark_page(int type);

/* The page's pending commands dropped and its mark cleared, as a cancel
 * or a read of the page leaves it. */
void drop_pending(int type);

#endif
