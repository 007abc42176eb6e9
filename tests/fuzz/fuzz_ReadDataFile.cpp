// Feeds arbitrary bytes to the data file readers of the four kinds. The first
// byte chooses the kind, the rest is the file. A file that reads must write back
// and read again with the same number of records.
#include "CxDebugUtil.h"
#include "CxSFAddr.h"
#include "CxSFDate.h"
#include "CxSFNote.h"
#include "CxSFTask.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string g_folder;

std::string FileBytes(const char* name) {
    std::string bytes;
    FILE* fp = std::fopen((g_folder + name).c_str(), "rb");
    if (!fp)
        std::abort();
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), fp)) > 0)
        bytes.append(chunk, got);
    std::fclose(fp);
    return bytes;
}

void RemoveFolder() {
    for (const char* name : {"in.dat", "out.dat", "out2.dat"})
        unlink((g_folder + name).c_str());
    rmdir(g_folder.c_str());
}

template <class TUtil> void ReadAndRewrite(const uint8_t* data, size_t size) {
    const std::string in = g_folder + "in.dat";
    FILE* fp = std::fopen(in.c_str(), "wb");
    if (!fp)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, fp) != size)
        std::abort();
    std::fclose(fp);

    TUtil util;
    util.SetDataFolder(g_folder.c_str());
    if (!util.ReadDataFile("in.dat")) {
        if (util.GetRecordList()->GetCount() != 0 || util.GetCollection()->GetRecordCount() != 0)
            std::abort();
        return;
    }
    const uint32_t count = util.GetRecordList()->GetCount();
    if (util.GetCollection()->GetRecordCount() != count)
        std::abort();
    if (!util.WriteDataFile("out.dat"))
        std::abort();
    TUtil again;
    again.SetDataFolder(g_folder.c_str());
    if (!again.ReadDataFile("out.dat") || again.GetRecordList()->GetCount() != count)
        std::abort();
    // What was written once reads and writes back byte for byte.
    if (!again.WriteDataFile("out2.dat") || FileBytes("out.dat") != FileBytes("out2.dat"))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/tessmark-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made)
        std::abort();
    g_folder = std::string(made) + "/";
    // Every rejected file logs a critical line; a folder that does not exist
    // drops them instead of growing a log.
    DebugLog.SetLogFolder((g_folder + "no-log/").c_str());
    DebugLog.EnableLog(false);
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    switch (data[0] % 4) {
    case 0:
        ReadAndRewrite<CxSFAddrUtil>(data + 1, size - 1);
        break;
    case 1:
        ReadAndRewrite<CxSFDateUtil>(data + 1, size - 1);
        break;
    case 2:
        ReadAndRewrite<CxSFTaskUtil>(data + 1, size - 1);
        break;
    default:
        ReadAndRewrite<CxSFNoteUtil>(data + 1, size - 1);
        break;
    }
    return 0;
}
