/*
 * sim_options.cpp - command-line parsing of kxd40-sim.
 *
 * Behaviour options change the behaviour in force, and each module takes
 * the behaviour in force when it is declared. That lets one run hold a
 * slow module next to a silent one next to a normal one.
 */
#include "sim_options.h"

#include <cstdlib>
#include <unordered_set>

#include "sim_text.h"
#include "strutil.h"

namespace kxsim {
namespace {

/* A whole /16. Each module holds a socket, so the limit on open files
 * decides how many one run can really bind (checked at start). */
const long max_modules = 65536;

struct parser {
    sim_config* config;
    behaviour how;
    long pending_count = 0; // --modules seen, waiting for --first (or the other way round)
    std::unordered_set<uint32_t> declared; // a scan of the list per module would be quadratic
    bool first_set = false;
    uint32_t first = 0;
    bool help = false;
    bool version = false;
    std::string error;

    bool fail(const std::string& why)
    {
        error = why;
        return false;
    }
};

using option_fn = bool (*)(parser& p, const std::string& value);

struct option_rule {
    const char* name;
    bool has_value;
    option_fn apply;
};

bool add_module(parser& p, uint32_t addr, const std::string& mac, const std::string& id)
{
    if (!p.declared.insert(addr).second)
        return p.fail("module " + ipv4_text(addr) + " declared twice");
    p.config->modules.push_back({addr, mac.empty() ? default_mac(addr) : mac,
                                 id.empty() ? default_id(addr) : id, p.how});
    return true;
}

bool address_value(parser& p, const std::string& v, uint32_t* addr)
{
    return parse_ipv4(v, addr) || p.fail("not a dotted IPv4 address: " + v);
}

bool number_value(parser& p, const std::string& v, long lo, long hi, long* n)
{
    return parse_decimal(v, lo, hi, n) ||
           p.fail("not a number in " + std::to_string(lo) + ".." + std::to_string(hi) + ": " + v);
}

/* --modules and --first form one declaration in either order. */
bool declare_range(parser& p)
{
    if (p.pending_count == 0 || !p.first_set)
        return true;
    if (static_cast<uint64_t>(p.first) + static_cast<uint64_t>(p.pending_count) > 0x100000000ull)
        return p.fail("--modules runs past 255.255.255.255");
    for (long i = 0; i < p.pending_count; ++i)
        if (!add_module(p, p.first + static_cast<uint32_t>(i), "", ""))
            return false;
    p.pending_count = 0;
    p.first_set = false;
    return true;
}

bool opt_module(parser& p, const std::string& v)
{
    std::vector<std::string> parts = split_head(v, ',', 3);
    uint32_t addr = 0;
    if (!address_value(p, parts[0], &addr))
        return false;
    for (size_t i = 1; i < parts.size(); ++i)
        if (parts[i].empty())
            return p.fail("empty MAC or ID in --module " + v);
    return add_module(p, addr, parts.size() > 1 ? parts[1] : "", parts.size() > 2 ? parts[2] : "");
}

bool opt_modules(parser& p, const std::string& v)
{
    return number_value(p, v, 1, max_modules, &p.pending_count) && declare_range(p);
}

bool opt_first(parser& p, const std::string& v)
{
    p.first_set = address_value(p, v, &p.first);
    return p.first_set && declare_range(p);
}

bool opt_latency(parser& p, const std::string& v)
{
    return number_value(p, v, 0, 600000, &p.how.latency_ms);
}

bool opt_boot(parser& p, const std::string& v)
{
    return number_value(p, v, 0, 600000, &p.how.boot_ms);
}

/* An answer to AT+VER: one line, or the reply would not end where the
 * tool looks for its end. */
bool version_value(parser& p, const char* name, const std::string& v, std::string* version)
{
    if (v.empty() || v.find_first_of("\r\n") != std::string::npos)
        return p.fail(std::string(name) + " wants a text on one line: " + v);
    *version = v;
    return true;
}

bool opt_current_version(parser& p, const std::string& v)
{
    return version_value(p, "--current-version", v, &p.how.version);
}

bool opt_next_version(parser& p, const std::string& v)
{
    return version_value(p, "--next-version", v, &p.how.next_version);
}

bool opt_lose(parser& p, const std::string& v)
{
    p.how.lose = v;
    return !v.empty() || p.fail("--lose wants a text");
}

bool opt_drop_rate(parser& p, const std::string& v)
{
    char* end = nullptr;
    double rate = std::strtod(v.c_str(), &end);
    if (v.empty() || *end != '\0' || !(rate >= 0.0 && rate <= 1.0))
        return p.fail("--drop-rate wants a number from 0 to 1: " + v);
    p.how.drop_rate = rate;
    return true;
}

bool opt_silent(parser& p, const std::string&)
{
    p.how.silent = true;
    return true;
}

bool opt_twice(parser& p, const std::string&)
{
    p.how.twice = true;
    return true;
}

bool opt_garbage(parser& p, const std::string&)
{
    p.how.garbage = true;
    return true;
}

bool opt_oversize(parser& p, const std::string&)
{
    p.how.oversize = true;
    return true;
}

bool opt_echo(parser& p, const std::string&)
{
    p.how.echo = true;
    return true;
}

bool opt_keep_settings(parser& p, const std::string&)
{
    p.how.keep_settings = true;
    return true;
}

bool opt_search_only(parser& p, const std::string&)
{
    p.how.search_only = true;
    return true;
}


bool opt_reset(parser& p, const std::string&)
{
    p.how = behaviour{};
    return true;
}

bool opt_seed(parser& p, const std::string& v)
{
    long n = 0;
    if (!number_value(p, v, 0, 4294967295L, &n))
        return false;
    p.config->seed = static_cast<uint32_t>(n);
    return true;
}

bool opt_port(parser& p, const std::string& v)
{
    long n = 0;
    if (!number_value(p, v, 1, 65535, &n))
        return false;
    p.config->port = static_cast<uint16_t>(n);
    return true;
}

bool opt_keyword(parser& p, const std::string& v)
{
    p.config->keyword = v;
    return !v.empty() || p.fail("--keyword must not be empty");
}

bool opt_broadcast(parser& p, const std::string& v)
{
    p.config->broadcast_set = address_value(p, v, &p.config->broadcast);
    return p.config->broadcast_set;
}

bool opt_log(parser& p, const std::string& v)
{
    p.config->log_path = v;
    return !v.empty() || p.fail("--log wants a file name");
}

bool opt_firmware(parser& p, const std::string& v)
{
    p.config->firmware_path = v;
    return !v.empty() || p.fail("--firmware wants a file name");
}

bool opt_help(parser& p, const std::string&)
{
    p.help = true;
    return true;
}

bool opt_version(parser& p, const std::string&)
{
    p.version = true;
    return true;
}


const option_rule options[] = {
    {"--module", true, opt_module},       {"--modules", true, opt_modules},
    {"--first", true, opt_first},         {"--latency", true, opt_latency},
    {"--silent", false, opt_silent},      {"--answer-twice", false, opt_twice},
    {"--garbage", false, opt_garbage},    {"--oversize", false, opt_oversize},
    {"--drop-rate", true, opt_drop_rate}, {"--lose", true, opt_lose},
    {"--echo", false, opt_echo},          {"--keep-settings", false, opt_keep_settings},
    {"--search-only", false, opt_search_only},
    {"--boot-ms", true, opt_boot},        {"--next-version", true, opt_next_version},
    {"--current-version", true, opt_current_version},
    {"--reset-behaviour", false, opt_reset}, {"--seed", true, opt_seed},
    {"--keyword", true, opt_keyword},     {"--broadcast", true, opt_broadcast},
    {"--log", true, opt_log},             {"--firmware", true, opt_firmware},
    {"--port", true, opt_port},           {"--help", false, opt_help},
    {"--version", false, opt_version},
};

const option_rule* find_option(const std::string& name)
{
    for (const option_rule& o : options)
        if (name == o.name)
            return &o;
    return nullptr;
}

/* Takes "--name value" or "--name=value"; returns false on an error. */
bool apply_one(parser& p, int argc, const char* const* argv, int* i)
{
    std::string arg = argv[*i];
    size_t eq = arg.find('=');
    std::string name = arg.substr(0, eq);
    const option_rule* o = find_option(name);
    if (o == nullptr)
        return p.fail("unknown option: " + arg);
    if (!o->has_value) {
        if (eq != std::string::npos)
            return p.fail(name + " takes no value");
        return o->apply(p, "");
    }
    if (eq != std::string::npos)
        return o->apply(p, arg.substr(eq + 1));
    if (*i + 1 >= argc)
        return p.fail(name + " wants a value");
    *i += 1;
    return o->apply(p, argv[*i]);
}

bool finish(parser& p)
{
    if (p.pending_count != 0 || p.first_set)
        return p.fail("--modules N and --first IP go together");
    if (p.config->modules.empty()) {
        uint32_t addr = 0;
        parse_ipv4(default_module_addr, &addr);
        return add_module(p, addr, "", "");
    }
    return true;
}

} // namespace

parse_result parse_options(int argc, const char* const* argv, sim_config* config,
                           std::string* error)
{
    *config = sim_config{};
    parser p;
    p.config = config;
    for (int i = 1; i < argc && !p.help && !p.version; ++i) {
        if (!apply_one(p, argc, argv, &i)) {
            *error = p.error;
            return parse_result::fail;
        }
    }
    if (p.help)
        return parse_result::help;
    if (p.version)
        return parse_result::version;
    if (!finish(p)) {
        *error = p.error;
        return parse_result::fail;
    }
    return parse_result::run;
}

std::string default_mac(uint32_t addr)
{
    char buf[16];
    format_text(buf, sizeof buf, "ACCF23%02X%02X%02X", (addr >> 16) & 0xffu, (addr >> 8) & 0xffu,
                addr & 0xffu);
    return buf;
}

std::string default_id(uint32_t addr)
{
    char buf[16];
    format_text(buf, sizeof buf, "KXD40-%04u", (addr & 0xffffu) % 10000u);
    return buf;
}

std::string firmware_file(const sim_config& config, const std::string& module_ip)
{
    if (config.modules.size() == 1)
        return config.firmware_path;
    return config.firmware_path + "." + module_ip;
}

const char* usage_text()
{
    return
        "usage: kxd40-sim [options]\n"
        "Simulates KX-D40 serial-to-WiFi modules answering on UDP. Run it only inside\n"
        "a private network namespace.\n"
        "\n"
        "Modules (each one binds its own address; none given: one at 127.0.0.2):\n"
        "  --module IP[,MAC[,ID]]  one module; MAC defaults to ACCF23 and the last three\n"
        "                          address bytes in hex, ID to KXD40- and four digits\n"
        "                          (the last two address bytes, mod 10000)\n"
        "  --modules N --first IP  N modules at consecutive addresses from IP\n"
        "                          (N up to 65536; each module holds a socket, so the\n"
        "                          limit on open files must hold them all)\n"
        "\n"
        "Behaviour (applies to the modules declared AFTER the option; the default\n"
        "module takes the behaviour in force at the end of the line):\n"
        "  --latency MS        wait MS milliseconds before each reply\n"
        "  --silent            never send anything\n"
        "  --answer-twice      send every datagram twice\n"
        "  --garbage           send bytes that are no valid answer instead of each\n"
        "                      discovery answer and AT reply (echoes stay as they are)\n"
        "  --oversize          pad each discovery answer and AT reply to 200 bytes with\n"
        "                      'X' (a query reply stays \"+ok=\" value \"\\r\\n\\r\\n\")\n"
        "  --drop-rate P       lose each received datagram with probability P (0..1)\n"
        "  --lose TEXT         lose every datagram to the module's own address that\n"
        "                      begins with TEXT, e.g. AT+Z (logged \"dropped\")\n"
        "  --echo              start with echo on (and return to it after AT+Z)\n"
        "  --keep-settings     acknowledge each valid setting with \"+ok\" but keep the\n"
        "                      value it had, as a module that did not take it\n"
        "  --search-only       answer the broadcast search, ignore everything sent to\n"
        "                      the module's own address (logged with the fate \"ignored\")\n"
        "  --boot-ms MS        after a restart (AT+Z, or the end of a firmware image) hear\n"
        "                      nothing for MS milliseconds: no search, keyword or command\n"
        "                      (what comes to its own address is logged with the fate\n"
        "                      \"booting\"), then come back unlinked; default 0: at once\n"
        "  --current-version TEXT\n"
        "                      report TEXT to AT+VER from the start, as a module\n"
        "                      already on that firmware; default: V1.0.8\n"
        "  --next-version TEXT report TEXT to AT+VER once a whole firmware image has\n"
        "                      come (a factory reset keeps it); default: unchanged\n"
        "  --reset-behaviour   back to normal behaviour for the modules that follow\n"
        "\n"
        "Run:\n"
        "  --port N            UDP port (default 48899)\n"
        "  --keyword TEXT      discovery keyword (default KX-D40LOCATORPING)\n"
        "  --broadcast ADDR    also listen on ADDR:port and hand what arrives there to\n"
        "                      every module, e.g. 127.0.0.255\n"
        "  --seed N            seed of the drop decisions (default 1); the same seed and\n"
        "                      the same traffic give the same drops\n"
        "  --firmware PATH     write each received firmware image to PATH when the run\n"
        "                      has one module, else to PATH.<module-ip>\n"
        "  --log FILE          log every received datagram, one line each, flushed:\n"
        "                      <seq> <t_ms> <to> <from-ip:port> <len> <hex> <fate>\n"
        "                      seq counts from 1; t_ms is milliseconds since start;\n"
        "                      to is the module address or \"bcast\"; hex is the bytes in\n"
        "                      lower-case hex, \"-\" when empty; fate is \"ok\", \"dropped\",\n"
        "                      \"ignored\", \"booting\", or for bcast \"dropped:IP[,IP...]\"\n"
        "                      naming the modules that lost it\n"
        "  --help              this text\n"
        "  --version           the program's name and version\n"
        "Options also take the form --name=value.\n"
        "\n"
        "Prints \"kxd40-sim: ready\" once every socket is bound, and\n"
        "\"kxd40-sim: <ip> firmware <N> bytes\" after each firmware image.\n"
        "Exits 1 when a socket cannot be bound or the limit on open files is too low\n"
        "for the modules, 2 on a bad command line.\n";
}

} // namespace kxsim
