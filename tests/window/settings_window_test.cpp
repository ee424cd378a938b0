/*
 * settings_window_test.cpp - the settings window under Xvfb: every control
 * reaching its dispatcher, page switching that reads nothing, the lamp and
 * the logo. Its pages' layout is looked at in lang_locale_test.cpp.
 */
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "callback.h"
#include "enums.h"
#include "gui_env.h"
#include "module.h"
#include "pages.h"
#include "window.h"

namespace {

std::vector<std::pair<std::string, std::string>> dispatched;

void record_dispatch(const char* dispatcher, const char* name) { dispatched.emplace_back(dispatcher, name); }

/* Firing every control confirms, saves and switches the automatic
 * replay, which write the tool's files: Gui gives a directory. */
struct SettingsWindow : Gui {
    void SetUp() override
    {
        Gui::SetUp();
        dispatched.clear();
        dispatch_trace = record_dispatch;
        init_window();
        pump_events();
    }
    void TearDown() override
    {
        dispatch_trace = nullptr;
        Gui::TearDown();
    }
    static GtkNotebook* notebook() { return GTK_NOTEBOOK(find_by_id(window, "notebook")); }
};

/* Gives the signal a person's use of w gives; returns the dispatcher it
 * must reach, or nullptr for what is no control. */
const char* fire(GtkWidget* w)
{
    const bool combo = GTK_IS_COMBO_BOX(w), radio = GTK_IS_RADIO_BUTTON(w);
    if (combo || GTK_IS_BUTTON(w)) {
        g_signal_emit_by_name(w, combo ? "changed" : radio ? "pressed" : "clicked");
        return combo ? "combo_selected" : radio ? "radio_changed" : "button_clicked";
    }
    if (!GTK_IS_ENTRY(w))
        return nullptr;
    GdkEvent* ev = gdk_event_new(GDK_FOCUS_CHANGE);
    /* A page not shown yet has no window of its own. */
    ev->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    gboolean handled = TRUE;
    g_signal_emit_by_name(w, "focus-out-event", ev, &handled);
    gdk_event_free(ev);
    EXPECT_FALSE(handled) << widget_id(w) << ": the focus change must go on";
    return "entry_focus_out";
}

TEST_F(SettingsWindow, EveryControlReachesItsDispatcherByAName)
{
    for (auto& d : dispatched)
        EXPECT_EQ(d.first, "notebook_switch_page") << "building the window reached " << d.second;
    std::map<std::string, std::set<std::vector<gintptr>>> places_of_name;
    int controls = 0;
    for (GtkWidget* w : widgets_below(window)) {
        GtkWidget* parent = gtk_widget_get_parent(w);
        /* A control a person can operate, placed on the window's layout;
         * the command file's name is read when an action runs. */
        if (parent == nullptr || !GTK_IS_FIXED(parent) || w == entry_setting_file ||
            (GTK_IS_ENTRY(w) && !gtk_editable_get_editable(GTK_EDITABLE(w))))
            continue;
        dispatched.clear();
        const char* dispatcher = fire(w);
        if (dispatcher == nullptr)
            continue;
        ++controls;
        ASSERT_FALSE(dispatched.empty()) << widget_id(w) << " reaches no dispatcher";
        /* Only the first: a handler may set off further signals. */
        EXPECT_EQ(dispatched[0].first, dispatcher) << widget_id(w);
        EXPECT_FALSE(dispatched[0].second.empty()) << widget_id(w);
        /* Leaving the STA page's MAC entry is meant to do nothing. */
        if (w != entry_sta_mac) {
            EXPECT_TRUE(dispatch_name_known(dispatched[0].first.c_str(), dispatched[0].second.c_str()))
                << widget_id(w) << "'s name \"" << dispatched[0].second << "\" reaches no handler";
        }
        int x = 0, y = 0;
        gtk_container_child_get(GTK_CONTAINER(parent), w, "x", &x, "y", &y, nullptr);
        places_of_name[dispatched[0].second].insert({reinterpret_cast<gintptr>(parent), x, y});
    }
    EXPECT_GE(controls, 50);
    for (auto& n : places_of_name)
        EXPECT_EQ(n.second.size(), 1u) << n.first << ": one name, one control (or alternatives in one place)";

    dispatched.clear();
    gtk_notebook_set_current_page(notebook(), 2);
    ASSERT_EQ(dispatched.size(), 1u);
    EXPECT_EQ(dispatched[0], std::make_pair(std::string("notebook_switch_page"), std::string("2")));
}

TEST_F(SettingsWindow, SwitchingPagesReadsNothing)
{
    strMODComm.inited = 0;
    strMODComm.baud = BAUDRATE_300;
    page_comm_shown = 0;
    for (int page : {1, 2, 3, 0})
        gtk_notebook_set_current_page(notebook(), page);
    EXPECT_EQ(strMODComm.inited, 0);
    EXPECT_EQ(strMODComm.baud, BAUDRATE_300);
    EXPECT_EQ(page_comm_shown, 0) << "no page was refreshed";
    EXPECT_EQ(notebook_page_now, 0);
}

TEST_F(SettingsWindow, TheLampAndTheLogoArePainted)
{
    const std::pair<int, unsigned> lamp[] = {
        {BLANK, 0x7f7f7f}, {GREEN, 0x00ff00}, {RED, 0xff0000}, {YELLOW, 0xffff00}, {4, 0xff0000}, {-1, 0xff0000},
    };
    for (auto& [colour, rgb] : lamp) {
        set_lamp(colour);
        gdk_window_process_all_updates();
        pump_for(50);
        unsigned got = pixel_at(draw_net_connect, 20, 13);
        /* 0.5 grey may round either way. */
        EXPECT_TRUE(got == rgb || (colour == BLANK && got == 0x808080)) << colour << ": " << std::hex << got;
    }
    EXPECT_NE(pixel_at(draw_net_connect, 2, 28), 0xff0000u) << "only the disc is drawn";

    /* The logo strip stays empty without "pic" beside the program. */
    ASSERT_NE(access("pic", F_OK), 0);
    GtkWidget* logo = find_by_id(window, "draw_logo");
    unsigned empty = pixel_at(logo, 30, 30);
    ASSERT_EQ(symlink(KXD40_SOURCE_DIR "/pic", "pic"), 0);
    gtk_widget_queue_draw(logo);
    gdk_window_process_all_updates();
    pump_for(50);
    EXPECT_NE(pixel_at(logo, 30, 30), empty);
}

} // namespace
