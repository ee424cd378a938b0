/*
 * sim_options.h - the command line of kxd40-sim.
 *
 * Parsing is kept apart from the socket loop so the rules (which module a
 * behaviour option reaches, the default names of a module) can be tested
 * without starting anything.
 */
#ifndef KXSIM_OPTIONS_H
#define KXSIM_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim_module.h"

namespace kxsim {

const uint16_t default_port = 48899;
const char* const default_module_addr = "127.0.0.2";

struct sim_config {
    std::vector<module_config> modules;
    uint16_t port = default_port;
    std::string keyword = default_keyword;
    bool broadcast_set = false;
    uint32_t broadcast = 0;
    std::string log_path;
    std::string firmware_path;
    uint32_t seed = 1;
};

enum class parse_result { run, help, version, fail };

/* Fills config from argv; on fail, error says what was wrong. */
parse_result parse_options(int argc, const char* const* argv, sim_config* config,
                           std::string* error);

/* The names a module gets when --module gives only its address. */
std::string default_mac(uint32_t addr);
std::string default_id(uint32_t addr);

/* Where a module's firmware image is written: the path itself when the run
 * has one module, else the path with "." and the module's address added. */
std::string firmware_file(const sim_config& config, const std::string& module_ip);

const char* usage_text();

} // namespace kxsim

#endif
