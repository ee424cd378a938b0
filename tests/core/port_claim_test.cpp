/*
 * port_claim_test.cpp - the claim on the port: one holder in a network at
 * a time, named to whoever is refused, free again once let go; and the
 * program's own claim, which later searches reuse.
 */
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <unistd.h>

#include "netio.h"
#include "port_claim.h"

namespace {

/* No program's claim is on this port, whatever the neighbours left held. */
const unsigned short spare_port = 48900;

/* As a refused claim names this process. */
std::string this_process()
{
    return std::string(program_invocation_short_name) + " (pid " + std::to_string(getpid()) + ")";
}

TEST(PortClaim, OneHolderAtATimeNamedToTheRefusedUntilItLetsGo)
{
    {
        port_claim first(spare_port);
        ASSERT_TRUE(first.taken());
        port_claim second(spare_port);
        EXPECT_FALSE(second.taken());
        EXPECT_EQ(second.holder(), this_process());
        port_claim next_port(spare_port + 1);
        EXPECT_TRUE(next_port.taken()) << "a claim holds its own port only";
    }
    port_claim again(spare_port);
    EXPECT_TRUE(again.taken()) << "the claim ends with its holder";
}

TEST(PortClaim, TheProgramKeepsItsClaimUntilItGivesItUp)
{
    release_program_port();
    std::string holder;
    ASSERT_TRUE(hold_program_port(&holder));
    EXPECT_TRUE(hold_program_port(&holder)) << "a second search must not refuse itself";
    {
        port_claim outsider(KX_PORT);
        EXPECT_FALSE(outsider.taken());
        EXPECT_EQ(outsider.holder(), this_process());
    }
    release_program_port();
    {
        port_claim outsider(KX_PORT);
        ASSERT_TRUE(outsider.taken());
        EXPECT_FALSE(hold_program_port(&holder));
        EXPECT_EQ(holder, this_process());
    }
    EXPECT_TRUE(hold_program_port(&holder)) << "a refused program takes the port once it is free";
    release_program_port();
}

} // namespace
