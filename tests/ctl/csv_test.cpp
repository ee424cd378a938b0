/*
 * csv_test.cpp - kxd40ctl's inventory as CSV and back: a search's CSV is
 * a target list for read --csv, whose output is compared byte for byte
 * (quoting, CR LF, the column order, the hidden keys, a failed module's
 * row); and the target list's reader meets the CSVs a spreadsheet writes.
 */
#include <gtest/gtest.h>

#include "ctl_run.h"
#include "sim_runner.h"

namespace {

/* Two modules that answer and a third that answers the search alone,
 * with an ID that is no valid UTF-8. */
const std::vector<std::string> site = {"--broadcast", "127.255.255.255", "--modules", "2", "--first", "127.0.0.2",
                                       "--search-only", "--module", "127.0.0.4,ACCF23000004,KX\xff" "ID"};

const std::string header =
    "ip,mac,id,result,error,"
    "management.wifi_mode,management.work_mode,management.web_user,management.web_password,management.mid,"
    "management.version,"
    "communication.baud,communication.data_bits,communication.stop_bits,communication.parity,"
    "communication.flow_control,communication.auto_frame,communication.auto_frame_time,"
    "communication.auto_frame_length,communication.protocol,communication.role,communication.port,"
    "communication.server,communication.max_sockets,communication.tcp_timeout,"
    "ap.standard,ap.ssid,ap.channel,ap.auth,ap.encryption,ap.key,ap.ip,ap.mask,ap.dhcp_gateway,"
    "sta.ssid,sta.auth,sta.encryption,sta.key,sta.address,sta.ip,sta.mask,sta.gateway,unanswered\r\n";

/* A module of the simulator as read --csv shows it: the factory's
 * settings but for its station's SSID and key, the secrets as given. */
std::string factory_row(int n, const std::string& sta_ssid, const std::string& sta_key, const std::string& web = "********")
{
    const std::string id = "KXD40-000" + std::to_string(n);
    return "127.0.0." + std::to_string(n) + ",ACCF2300000" + std::to_string(n) + "," + id +
           ",done,,AP,Through,admin," + web + "," + id +
           ",V1.0.8,115200,8,1,None,NFC,disable,100,1024,TCP,Server,8899,10.10.100.100,32,300,11BGN,KXD40_000" +
           std::to_string(n) + ",CH1,OPEN,NONE,,10.10.100.254,255.255.255.0,10.10.100.254," + sta_ssid +
           ",WPA2PSK,AES," + sta_key + ",DHCP,0.0.0.0,0.0.0.0,0.0.0.0,\r\n";
}

} // namespace

TEST(Csv, ASearchsCsvIsTheTargetListOfAReadAsCsv)
{
    sim_process sim(site);
    ASSERT_TRUE(sim.ready());
    ctl_result named = ctl({"send", "127.0.0.3", "AT+WSSSID=Lab, \"north\"", "AT+WSKEY=WPA2PSK,AES,se\"cret99"});
    ASSERT_EQ(named.status, 0) << named.err;
    named = ctl({"send", "127.0.0.2", "AT+WSSSID=Lab, south"});
    ASSERT_EQ(named.status, 0) << named.err;

    ctl_result found = ctl({"search", "--csv"});
    EXPECT_EQ(whole(found), "0\nip,mac,id\r\n127.0.0.2,ACCF23000002,KXD40-0002\r\n"
                            "127.0.0.3,ACCF23000003,KXD40-0003\r\n127.0.0.4,ACCF23000004,KX\xef\xbf\xbd" "ID\r\n--\n");
    temp_file list;
    write_file(list.path, found.out);

    ctl_result read = ctl({"read", "--csv", "-q", "--tries", "1", "--timeout", "100", "@" + list.path});
    EXPECT_EQ(whole(read), "1\n" + header + factory_row(2, "\"Lab, south\"", "********") +
                               factory_row(3, "\"Lab, \"\"north\"\"\"", "********") +
                               "127.0.0.4,,,not reached,no answer to the keyword" + std::string(38, ',') + "\r\n--\n"
                               "kxd40ctl: 127.0.0.4: no answer to the keyword\n"
                               "kxd40ctl: read of 3 modules: 2 done, 0 failed, 1 not reached\n"
                               "  not reached: 127.0.0.4\n");

    ctl_result shown = ctl({"read", "--csv", "--show-secrets", "127.0.0.3"});
    EXPECT_EQ(whole(shown), "0\n" + header + factory_row(3, "\"Lab, \"\"north\"\"\"", "\"se\"\"cret99\"", "admin") + "--\n");
}

/* The CSV a spreadsheet saves: the address column found by its name,
 * quoted or not, lines ended either way, a row without an address left
 * out; a CSV without that column, or broken, refused before anything is
 * sent; and --csv is one output, not one beside another. */
TEST(Csv, ATargetListCsvIsTakenByItsAddressColumn)
{
    sim_process sim(site);
    ASSERT_TRUE(sim.ready());
    const std::vector<std::string> ver = {"send", "-q", "@FILE", "AT+VER"};
    const std::string both = "0\n127.0.0.3 +ok=V1.0.8\n127.0.0.2 +ok=V1.0.8\n--\n"
                             "kxd40ctl: send of 2 modules: 2 done, 0 failed, 0 not reached\n";
    const std::string usage = "2\n--\nkxd40ctl: ";
    expect_cases(sim, {
        {ver, "\"id\",\"ip\"\r\nX,\"127.0.0.3\"\r\nY,127.0.0.2\r\n", both, ""},
        {ver, "mac,id,ip\nA,\"a, \"\"b\"\"\nc\",127.0.0.3\nB,spare,\n,,\n\nC,,127.0.0.2", both, ""},
        {ver, "ip\n127.0.0.3\n127.0.0.2\n", both, ""},
        {ver, "# site, north\n127.0.0.3 # rack 1, left\n127.0.0.2\n", both, ""},
        {ver, "address,id\n127.0.0.2,x\n", usage + "the address file FILE is a CSV without an address column "
                                                   "(\"ip\" in its first line) (try --help)\n", ""},
        {ver, "id,ip\nx,\"127.0.0.2\n", usage + "the address file FILE is no valid CSV: line 2: a quoted field "
                                               "is not closed (try --help)\n", ""},
        {ver, "ip,id\n\"127.0.0.2\"x,y\n", usage + "the address file FILE is no valid CSV: line 2: a quoted "
                                                  "field is followed by more than a comma (try --help)\n", ""},
        {ver, "id,ip\nx,nowhere\n", usage + "not a module address in row 1 of FILE: nowhere (try --help)\n", ""},
        {{"read", "--csv", "--json", "127.0.0.2"}, "", usage + "--json and --csv exclude each other (try --help)\n", ""},
        {{"read", "--csv", "--commands", "127.0.0.2"}, "",
         usage + "--commands and --csv exclude each other (try --help)\n", ""},
    });
}
