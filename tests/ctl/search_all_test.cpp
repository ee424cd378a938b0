/*
 * search_all_test.cpp - a kxd40ctl search lists every module that
 * answers: a thousand answering at once, modules that miss a keyword now
 * and then, and, where the receive buffer cannot hold the answers, a
 * search that ends and says how many it lost instead of a short list.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "ctl_run.h"
#include "sim_runner.h"

namespace {

struct search_case {
    const char* what;
    int modules;
    std::vector<std::string> behaviour; /* the simulator's, before the modules */
    std::vector<std::string> env;       /* kxd40ctl's */
    bool all_listed;                    /* else the loss is said, whoever was heard */
    int least_passes, most_passes;      /* keywords broadcast */
};

/* The count in "kxd40ctl: N answers were lost on the way in (...)", or
 * -1 when no such line is there. */
long lost_count(const std::string& err)
{
    const std::string head = "kxd40ctl: ", tail = " answers were lost on the way in (the receive buffer overflowed)\n";
    size_t at = err.find(tail);
    if (at == std::string::npos)
        return -1;
    size_t from = err.rfind(head, at);
    return from == std::string::npos ? -1 : std::strtol(err.c_str() + from + head.size(), nullptr, 10);
}

} // namespace

/* With a buffer as large as the system grants, a thousand answers that
 * come at once all find room: one pass lists them all, and one more finds
 * nobody new. Modules that miss a keyword answer a later pass, which
 * comes while a pass still brings a module. A buffer of a few answers
 * loses most of them: the search passes up to its bound, lists the
 * modules it heard, and says how many answers the system dropped. */
TEST(SearchAll, EveryModuleThatAnswersIsListedOrTheLossIsSaid)
{
    const search_case cases[] = {
        {"1000 modules answering 20 ms late at once", 1000, {"--latency", "20"}, {}, true, 2, 2},
        {"60 modules missing two keywords in five", 60, {"--drop-rate", "0.4", "--seed", "7"}, {}, true, 3, 10},
        {"200 modules at once into a receive buffer of a few answers", 200, {}, {"KXD40CTL_RECEIVE_BUFFER=1"},
         false, 10, 10},
    };
    for (const search_case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = c.behaviour;
        for (const char* a : {"--broadcast", "127.255.255.255", "--first", "127.0.0.2", "--modules"})
            args.push_back(a);
        args.push_back(std::to_string(c.modules));
        sim_process sim(args);
        ASSERT_TRUE(sim.ready());
        ctl_result r = ctl_env(c.env, {"search", "--json", "--from", "127.0.0.1"});

        std::map<std::string, nlohmann::json> listed = by_address(r.out);
        for (auto& [ip, j] : listed)
            EXPECT_EQ(j["result"], "done") << ip;
        std::vector<sim_datagram> got = sim.received();
        long passes = std::count_if(got.begin(), got.end(), [](const sim_datagram& d) { return d.target == "bcast"; });
        EXPECT_GE(passes, c.least_passes);
        EXPECT_LE(passes, c.most_passes);
        if (c.all_listed) {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(listed.size(), static_cast<size_t>(c.modules)) << r.err;
            EXPECT_EQ(r.err, "");
        } else {
            /* Ten passes may have heard every module in the end, or not:
             * nothing can tell, since the last one lost answers too. */
            EXPECT_EQ(r.status, 1) << r.err;
            EXPECT_GT(listed.size(), 0u);
            /* Every pass lost some: more than the modules missing. */
            EXPECT_GE(lost_count(r.err), static_cast<long>(c.modules - listed.size())) << r.err;
        }
    }
}
