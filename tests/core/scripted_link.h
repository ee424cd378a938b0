/*
 * scripted_link.h - what the core's tests on the scripted network share:
 * the window's link open to the module at 127.0.0.2, the datagrams sent,
 * and what a call printed.
 */
#ifndef KX_TESTS_CORE_SCRIPTED_LINK_H
#define KX_TESTS_CORE_SCRIPTED_LINK_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery.h"
#include "link.h"
#include "module.h"
#include "scripted_net.h"
#include "strutil.h"

const std::string crlf2 = "\r\n\r\n";
using lines = std::vector<std::string>;

template <class BASE = testing::Test>
struct OnScriptedNet : BASE {
    scripted_net sn;
    net_scope scope{&sn};

    void SetUp() override
    {
        BASE::SetUp();
        udpsocket = 7;
        copy_text(module_ip, "127.0.0.2");
        udp_add_r();
    }
    void TearDown() override
    {
        udpsocket = 0;
        BASE::TearDown();
    }
    /* The datagrams sent (without the line feed when cut), then forgotten. */
    lines sent(bool cut = false)
    {
        lines out;
        for (const sent_datagram& d : sn.sent)
            out.push_back(cut ? d.bytes.substr(0, d.bytes.find('\n')) : d.bytes);
        sn.sent.clear();
        return out;
    }
};

/* A query's value ("unchanged" when none came), its result and the
 * link's module_silent after it. */
inline std::string asked(module_link& l, const char* cmd)
{
    char value[100] = "unchanged";
    int r = at_query(l, cmd, value, sizeof value);
    return value + (" " + std::to_string(r)) + " " + std::to_string(l.module_silent);
}

/* What f printed on stdout. */
template <class F>
std::string printed(F f)
{
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

#endif
