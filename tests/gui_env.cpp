/*
 * gui_env.cpp - GTK set-up for the window tests and widget lookups.
 */
#include "gui_env.h"

#include <gtest/gtest.h>

#include "netio.h"

namespace {

/* GTK starts once per test process, after the process has left the
 * network, and only when tests are actually run. */
class gtk_environment : public testing::Environment {
public:
    void SetUp() override
    {
        int argc = 0;
        ASSERT_TRUE(gtk_init_check(&argc, nullptr)) << "no X display";
    }
};

const bool registered = (testing::AddGlobalTestEnvironment(new gtk_environment), true);

struct find_state {
    const std::string* id;
    GtkWidget* found;
};

void find_in(GtkWidget* w, gpointer data)
{
    auto* st = static_cast<find_state*>(data);
    if (st->found != nullptr)
        return;
    if (widget_id(w) == *st->id) {
        st->found = w;
        return;
    }
    if (GTK_IS_CONTAINER(w))
        gtk_container_forall(GTK_CONTAINER(w), find_in, data);
}

} // namespace

void pump_events()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

void pump_for(int ms)
{
    long long end = monotonic_ms() + ms;
    while (monotonic_ms() < end) {
        pump_events();
        g_usleep(5000);
    }
}

bool fixed_position(GtkWidget* child, int* x, int* y)
{
    GtkWidget* parent = gtk_widget_get_parent(child);
    if (parent == nullptr || !GTK_IS_FIXED(parent))
        return false;
    GValue vx = G_VALUE_INIT, vy = G_VALUE_INIT;
    g_value_init(&vx, G_TYPE_INT);
    g_value_init(&vy, G_TYPE_INT);
    gtk_container_child_get_property(GTK_CONTAINER(parent), child, "x", &vx);
    gtk_container_child_get_property(GTK_CONTAINER(parent), child, "y", &vy);
    *x = g_value_get_int(&vx);
    *y = g_value_get_int(&vy);
    return true;
}

std::string widget_id(GtkWidget* w)
{
    const gchar* id = atk_object_get_accessible_id(gtk_widget_get_accessible(w));
    return id != nullptr ? id : "";
}

GtkWidget* find_by_id(GtkWidget* root, const std::string& id)
{
    find_state st{&id, nullptr};
    find_in(root, &st);
    return st.found;
}

std::string widget_text(GtkWidget* w)
{
    if (GTK_IS_BUTTON(w))
        return gtk_button_get_label(GTK_BUTTON(w)) ? gtk_button_get_label(GTK_BUTTON(w)) : "";
    if (GTK_IS_LABEL(w))
        return gtk_label_get_text(GTK_LABEL(w));
    return "";
}

GtkWidget* label_with_text(GtkWidget* root, const std::string& text, bool whole_text)
{
    if (GTK_IS_LABEL(root)) {
        std::string shown = gtk_label_get_text(GTK_LABEL(root));
        if (whole_text ? shown == text : shown.compare(0, text.size(), text) == 0)
            return root;
    }
    if (!GTK_IS_CONTAINER(root))
        return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    GtkWidget* found = nullptr;
    for (GList* c = children; c != nullptr && found == nullptr; c = c->next)
        found = label_with_text(GTK_WIDGET(c->data), text, whole_text);
    g_list_free(children);
    return found;
}

int unknown_glyphs(GtkWidget* label)
{
    return pango_layout_get_unknown_glyphs_count(gtk_label_get_layout(GTK_LABEL(label)));
}

void expect_placed(GtkWidget* w, const std::string& what, int x, int y, int width, int height)
{
    ASSERT_NE(w, nullptr) << what;
    int px = -1, py = -1, rw = 0, rh = 0;
    ASSERT_TRUE(fixed_position(w, &px, &py)) << what;
    EXPECT_EQ(px, x) << what;
    EXPECT_EQ(py, y) << what;
    gtk_widget_get_size_request(w, &rw, &rh);
    EXPECT_EQ(rw, width) << what;
    EXPECT_EQ(rh, height) << what;
}

std::vector<std::string> combo_items(GtkWidget* combo)
{
    std::vector<std::string> items;
    GtkTreeModel* m = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    GtkTreeIter it;
    for (bool ok = gtk_tree_model_get_iter_first(m, &it); ok; ok = gtk_tree_model_iter_next(m, &it)) {
        gchar* t = nullptr;
        gtk_tree_model_get(m, &it, 0, &t, -1);
        items.push_back(t != nullptr ? t : "");
        g_free(t);
    }
    return items;
}
