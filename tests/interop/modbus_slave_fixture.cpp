// SPDX-License-Identifier: GPL-3.0-or-later
// An independent Modbus RTU slave for interop tests, built on libmodbus: it holds a program of
// N lines (registers 0 .. 12 N - 1 with a known pattern, N in 8604) and writes its program
// registers to a dump file after every write it serves.
//   modbus_slave_fixture DEVICE LINES DUMPFILE
#include <modbus/modbus.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <string>

// libmodbus resumes its wait after a signal, so a stop request ends the process at once;
// the dump file is already complete after every write.
static void onSignal(int)
{
    _exit(0);
}

static void dump(const modbus_mapping_t *map, const std::string &path)
{
    const std::string tmp = path + ".tmp";
    if (FILE *f = std::fopen(tmp.c_str(), "wb")) {
        // Line count word, then the 6000 program registers, each high byte first.
        const uint16_t count = map->tab_registers[8604];
        std::fputc(count >> 8, f);
        std::fputc(count & 0xFF, f);
        for (int i = 0; i < 6000; ++i) {
            std::fputc(map->tab_registers[i] >> 8, f);
            std::fputc(map->tab_registers[i] & 0xFF, f);
        }
        std::fclose(f);
        std::rename(tmp.c_str(), path.c_str());
    }
}

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    const int lines = std::atoi(argv[2]);
    modbus_t *ctx = modbus_new_rtu(argv[1], 19200, 'N', 8, 1);
    modbus_mapping_t *map = modbus_mapping_new(0, 0, 8700, 0);
    if (!ctx || !map)
        return 1;
    modbus_set_slave(ctx, 1);
    if (modbus_connect(ctx) != 0)
        return 1;
    map->tab_registers[8604] = uint16_t(lines);
    for (int i = 0; i < 12 * lines; ++i)
        map->tab_registers[i] = uint16_t(0x0100 * (i % 7) + (i & 0xFF));
    dump(map, argv[3]);
    std::printf("ready\n");
    std::fflush(stdout);
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        const int rc = modbus_receive(ctx, query);
        if (rc > 0) {
            modbus_reply(ctx, query, rc, map);
            if (query[1] == 0x06 || query[1] == 0x10)
                dump(map, argv[3]);
        } else if (rc == -1 && errno != ETIMEDOUT && errno != EMBBADCRC && errno != EMBBADDATA) {
            break;
        }
    }
    modbus_close(ctx);
    modbus_free(ctx);
    modbus_mapping_free(map);
    return 0;
}
