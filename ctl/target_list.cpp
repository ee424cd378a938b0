/*
 * target_list.cpp - addresses, ranges and address files (lists, or CSVs
 * with an address column); the command file and the image, opened only
 * when they are regular files.
 *
 * Whatever comes from outside is bounded while it is read: a file by its
 * bytes, the addresses by how many different ones are named, so that a
 * mistaken file ends in a line rather than in all the machine's memory.
 */
#include "target_list.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <bitset>
#include <cstdint>
#include <unordered_map>
#include <sys/stat.h>

#include "command_file.h"
#include "csv.h"
#include "data_file.h"
#include "local_addr.h"
#include "netio.h"
#include "strutil.h"

namespace kxctl {
namespace {

enum { ADDRESSES_MAX = 65536 };
/* What address_set::add says of a word that is no address or range. */
const char* const not_an_address = "not a module address";

std::string trimmed(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t\r");
    size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

bool all_digits(const std::string& s)
{
    if (s.empty() || s.size() > 3)
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

uint32_t host_order(const unsigned char b[4])
{
    return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 | static_cast<uint32_t>(b[2]) << 8 |
           b[3];
}

std::string dotted(uint32_t a)
{
    return std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 255) + "." + std::to_string(a >> 8 & 255) + "." +
           std::to_string(a & 255);
}

/* What address a is to this machine ("" when nothing): the PC answers its
 * own port, and a subnet's network or broadcast address reaches no module
 * alone. */
std::string machine_role(uint32_t a, const std::vector<local_network>& nets)
{
    for (const local_network& n : nets) {
        unsigned char b[4];
        if (!parse_dotted_ipv4(n.address.c_str(), b))
            continue;
        uint32_t mine = host_order(b);
        if (a == mine)
            return "this machine's own address";
        if (n.prefix < 1 || n.prefix > 30)
            continue;
        uint32_t host = 0xffffffffu >> n.prefix;
        if ((a & ~host) != (mine & ~host) || ((a & host) != 0 && (a & host) != host))
            continue;
        return std::string((a & host) == 0 ? "the network" : "the broadcast") + " address of this machine's " +
               n.address + "/" + std::to_string(n.prefix);
    }
    return "";
}

/* The addresses named so far, each once, in the order first named. A
 * range marks its /24 in one mask, so that a range or an address given
 * again and again costs no memory and is counted once. */
class address_set {
public:
    explicit address_set(const std::vector<std::string>& given) : nets_(local_networks())
    {
        unsigned char b[4];
        for (const std::string& a : given)
            if (parse_dotted_ipv4(a.c_str(), b))
                groups_[host_order(b) >> 8].set(b[3]);
    }
    /* One address, last-group range or block; "" when taken, else what is
     * wrong with it. An address of this machine named alone is refused;
     * within a range or a block it is skipped with a line on stderr. */
    std::string add(const std::string& word)
    {
        size_t slash = word.find('/');
        if (slash != std::string::npos)
            return add_block(word.substr(0, slash), word.substr(slash + 1));
        unsigned char b[4];
        size_t dash = word.find('-');
        std::string first = word.substr(0, dash), last = dash == std::string::npos ? "" : word.substr(dash + 1);
        if (!parse_dotted_ipv4(first.c_str(), b) || (dash != std::string::npos && !all_digits(last)))
            return not_an_address;
        int to = dash == std::string::npos ? b[3] : std::stoi(last);
        if (to > 255 || to < b[3])
            return not_an_address;
        uint32_t a = host_order(b);
        if (dash == std::string::npos) {
            std::string role = machine_role(a, nets_);
            if (!role.empty())
                return dotted(a) + " is " + role + ", not a module";
        }
        return add_span(a, (a & ~0xffu) | static_cast<uint32_t>(to));
    }
    const std::vector<uint32_t>& order() const { return order_; }

private:
    /* A CIDR block's hosts: its network and broadcast addresses are left
     * out, as a /31 and a /32 have none. The block must be written from
     * its first address: 10.1.2.0/22 is more likely a slip for a /24 than
     * a wish for 10.1.0.0 to 10.1.3.255. */
    std::string add_block(const std::string& base, const std::string& bits)
    {
        unsigned char b[4];
        if (!parse_dotted_ipv4(base.c_str(), b) || bits.empty() || bits.size() > 2 || !all_digits(bits) ||
            std::stoi(bits) > 32)
            return not_an_address;
        int prefix = std::stoi(bits);
        uint32_t host = prefix == 0 ? 0xffffffffu : 0xffffffffu >> prefix;
        uint32_t a = host_order(b);
        if ((a & host) != 0)
            return base + "/" + bits + " is no block: the /" + bits + " of " + base + " begins at " +
                   dotted(a & ~host);
        return prefix <= 30 ? add_span(a + 1, (a | host) - 1) : add_span(a, a | host);
    }

    /* The addresses from first to last, each once. */
    std::string add_span(uint32_t first, uint32_t last)
    {
        for (uint32_t a = first;; ++a) {
            std::bitset<256>& seen = groups_[a >> 8];
            if (!seen.test(a & 0xff)) {
                seen.set(a & 0xff);
                std::string role = machine_role(a, nets_);
                if (!role.empty())
                    std::fprintf(stderr, "kxd40ctl: %s skipped: %s, not a module\n", dotted(a).c_str(), role.c_str());
                else
                    order_.push_back(a);
                if (order_.size() > ADDRESSES_MAX)
                    return "more than " + std::to_string(ADDRESSES_MAX) + " modules named";
            }
            if (a == last)
                return "";
        }
    }

    std::vector<local_network> nets_;
    std::unordered_map<uint32_t, std::bitset<256>> groups_;
    std::vector<uint32_t> order_;
};

/* A CSV's first line: it has a comma, or is the address column's name
 * alone. A list of addresses has neither, but for a comment, which may
 * say anything. */
bool csv_header(const std::string& first)
{
    std::string head = first.substr(0, first.find('#'));
    return head.find(',') != std::string::npos || trimmed(head) == CSV_ADDRESS;
}

/* The address column of a CSV, taken by its name wherever it stands, row
 * by row to the set. A row without an address is a module not yet given
 * one, or a sheet's spare line: skipped. */
std::string add_csv(const std::string& path, const std::string& text, address_set* set)
{
    std::vector<std::vector<std::string>> records;
    std::string why;
    if (!parse_csv(text, &records, &why))
        return "the address file " + path + " is no valid CSV: " + why;
    const std::vector<std::string>& header = records.front();
    auto column = std::find(header.begin(), header.end(), CSV_ADDRESS);
    if (column == header.end())
        return "the address file " + path + " is a CSV without an address column (\"ip\" in its first line)";
    size_t at = static_cast<size_t>(column - header.begin());
    for (size_t r = 1; r < records.size(); ++r) {
        std::string word = at < records[r].size() ? trimmed(records[r][at]) : "";
        why = word.empty() ? "" : set->add(word);
        if (why == not_an_address)
            return "not a module address in row " + std::to_string(r) + " of " + path + ": " + word;
        if (!why.empty())
            return why;
    }
    return "";
}

/* Each word of an address file (blanks and comments left out) to the
 * set, or a CSV's address column, read up to TEXT_BYTES_MAX; "" when all
 * were taken. */
std::string add_file(const std::string& path, address_set* set)
{
    stdio_file f(open_regular(path.c_str()));
    if (!f)
        return "cannot read the address file " + path;
    std::string text;
    for (int c; (c = std::fgetc(f.get())) != EOF;) {
        if (text.size() >= TEXT_BYTES_MAX)
            return "the address file " + path + " is larger than " + text_limit();
        text.push_back(static_cast<char>(c));
    }
    if (std::ferror(f.get()))
        return "cannot read the address file " + path;
    std::string first = text.substr(0, text.find('\n'));
    bool csv = csv_header(first);
    long long number = 1;
    for (size_t at = 0; at < text.size(); ++number) {
        size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.find('\0') != std::string::npos)
            return "line " + std::to_string(number) + " of the address file " + path + " holds a NUL byte";
        std::string word = csv ? "" : trimmed(line.substr(0, line.find('#')));
        std::string why = word.empty() ? "" : set->add(word);
        if (why == not_an_address)
            return "not a module address in " + path + ": " + word;
        if (!why.empty())
            return why;
    }
    return csv ? add_csv(path, text, set) : "";
}

} // namespace

std::string text_limit() { return std::to_string(TEXT_BYTES_MAX >> 20) + " MiB"; }

uint32_t address_number(const std::string& dotted)
{
    unsigned char b[4];
    return parse_dotted_ipv4(dotted.c_str(), b) ? host_order(b) : 0;
}

std::string expand_targets(const std::vector<std::string>& words, std::vector<std::string>* out)
{
    address_set set(*out);
    for (const std::string& word : words) {
        std::string why = !word.empty() && word[0] == '@' ? add_file(word.substr(1), &set) : set.add(word);
        if (why == not_an_address)
            return "not a module address or range: " + word;
        if (!why.empty())
            return why;
    }
    for (uint32_t a : set.order())
        out->push_back(dotted(a));
    return "";
}

void split_send_words(std::vector<std::string>* words, std::vector<std::string>* commands)
{
    for (size_t i = 0; i < words->size(); ++i) {
        const std::string& w = (*words)[i];
        if (w.size() >= 2 && std::toupper(static_cast<unsigned char>(w[0])) == 'A' &&
            std::toupper(static_cast<unsigned char>(w[1])) == 'T') {
            commands->assign(words->begin() + static_cast<long>(i), words->end());
            words->resize(i);
            return;
        }
    }
}

std::string check_send_commands(const std::vector<std::string>& commands)
{
    for (size_t i = 0; i < commands.size(); ++i) {
        if (switches_to_firmware(commands[i]))
            return "AT+FWUPDAT is sent only by upload: the module would store what follows as its firmware";
        if (names_command(commands[i], "AT+Z", false) && i + 1 < commands.size())
            return "AT+Z restarts the module: it goes last, as nothing after it would be answered";
    }
    return "";
}

int read_regular_text(const std::string& path, std::string* text)
{
    FILE* opened = path == "-" ? stdin : open_regular(path.c_str());
    if (opened == nullptr)
        return TEXT_NOT_OPENED;
    char buf[4096];
    size_t n;
    bool whole = true;
    while (whole && (n = std::fread(buf, 1, sizeof buf, opened)) > 0) {
        whole = text->size() + n <= TEXT_BYTES_MAX;
        text->append(buf, whole ? n : 0);
    }
    bool ok = !std::ferror(opened);
    if (opened != stdin)
        std::fclose(opened);
    return !whole ? TEXT_TOO_LARGE : ok ? TEXT_READ : TEXT_NOT_READ;
}

bool read_command_text(const std::string& path, std::string* text)
{
    int r = read_regular_text(path, text);
    if (r == TEXT_NOT_OPENED)
        std::fprintf(stderr, "kxd40ctl: cannot open %s: not a readable regular file\n", path.c_str());
    else if (r == TEXT_NOT_READ)
        std::fprintf(stderr, "kxd40ctl: cannot read %s\n", path.c_str());
    else if (r == TEXT_TOO_LARGE)
        std::fprintf(stderr, "kxd40ctl: %s is larger than %s: not read\n", path == "-" ? "standard input" : path.c_str(),
                     text_limit().c_str());
    return r == TEXT_READ;
}

bool regular_file_or_complain(const std::string& path)
{
    stdio_file f(open_regular(path.c_str()));
    if (f)
        return true;
    std::fprintf(stderr, "kxd40ctl: cannot open %s: not a readable regular file\n", path.c_str());
    return false;
}

bool image_or_complain(const std::string& path)
{
    stdio_file f(open_regular(path.c_str()));
    if (!f)
        return regular_file_or_complain(path);
    if (std::fgetc(f.get()) != EOF)
        return true;
    std::fprintf(stderr, "kxd40ctl: %s is empty: no firmware image\n", path.c_str());
    return false;
}

bool is_directory(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace kxctl
