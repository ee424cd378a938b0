/*
 * callback.cpp - signal dispatch by widget name.
 *
 * Each dispatcher looks the name up in the table it was handed and runs
 * the handler of the first exact match. The tables list every name the
 * window gives out; a name whose handler is not there does nothing.
 */
#include "callback.h"

#include <cstring>

#include "wait.h"

void (*dispatch_trace)(const char*, const char*) = nullptr;

namespace {

struct table_ref {
    const named_handler* rows = nullptr;
    size_t n = 0;
};

table_ref combo_table, button_table, radio_table, entry_table;

/* The table of a dispatcher by its function name, or nullptr. */
table_ref* table_of(const char* dispatcher)
{
    if (std::strcmp(dispatcher, "combo_selected") == 0)
        return &combo_table;
    if (std::strcmp(dispatcher, "button_clicked") == 0)
        return &button_table;
    if (std::strcmp(dispatcher, "radio_changed") == 0)
        return &radio_table;
    if (std::strcmp(dispatcher, "entry_focus_out") == 0)
        return &entry_table;
    return nullptr;
}

const named_handler* find(const table_ref& table, const char* name)
{
    for (size_t i = 0; i < table.n; ++i)
        if (std::strcmp(table.rows[i].name, name) == 0)
            return &table.rows[i];
    return nullptr;
}

void dispatch(const char* dispatcher, const table_ref& table, gpointer data)
{
    const char* name = static_cast<const char*>(data);
    if (name == nullptr)
        return;
    if (dispatch_trace != nullptr)
        dispatch_trace(dispatcher, name);
    const named_handler* h = find(table, name);
    /* While a datagram wait runs, no action that talks to the module may
     * start. */
    if (h != nullptr && h->run != nullptr && (h->while_waiting || !action_blocked()))
        h->run();
}

} // namespace

void set_dispatch_table(const char* dispatcher, const named_handler* rows, size_t n)
{
    if (table_ref* t = table_of(dispatcher)) {
        t->rows = rows;
        t->n = n;
    }
}

int dispatch_name_known(const char* dispatcher, const char* name)
{
    const table_ref* t = table_of(dispatcher);
    const named_handler* h = t != nullptr ? find(*t, name) : nullptr;
    return h != nullptr && h->run != nullptr ? 1 : 0;
}

void combo_selected(GtkWidget*, gpointer data) { dispatch("combo_selected", combo_table, data); }

void button_clicked(GtkWidget*, gpointer data) { dispatch("button_clicked", button_table, data); }

void radio_changed(GtkWidget*, gpointer data) { dispatch("radio_changed", radio_table, data); }

gboolean entry_focus_out(GtkWidget*, GdkEventFocus*, gpointer data)
{
    dispatch("entry_focus_out", entry_table, data);
    return FALSE;
}
