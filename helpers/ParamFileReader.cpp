#include "ParamFileReader.h"

#include "CxFile.h"

#include <vector>

namespace {

// Far above what any request needs; a larger value means a damaged file.
constexpr uint32_t kMaxEntries = 4096;
constexpr int32_t kMaxTextBytes = 1 << 20;

} // namespace

bool ReadParamFile(const char* path, ParamMap& values, std::string& error) {
    values.clear();
    CxFile file;
    if (!path || !*path || !file.Open(path, "rbe")) {
        error = "cannot be opened";
        return false;
    }
    int32_t rawCount = 0;
    if (!file.ReadInt(&rawCount)) {
        error = "is empty";
        return false;
    }
    uint32_t count = static_cast<uint32_t>(rawCount);
    if (count > kMaxEntries) {
        error = "holds an implausible entry count";
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        int32_t tag = 0, type = 0;
        if (!file.ReadInt(&tag) || !file.ReadInt(&type)) {
            error = "ends inside an entry";
            return false;
        }
        std::string value;
        switch (type) {
        case 3:
        case 5: {
            int32_t n = 0;
            if (!file.ReadInt(&n)) {
                error = "ends inside an entry";
                return false;
            }
            value = std::to_string(n);
            break;
        }
        case 8: {
            int32_t len = 0;
            if (!file.ReadInt(&len)) {
                error = "ends inside an entry";
                return false;
            }
            if (len > kMaxTextBytes) {
                error = "holds an implausibly long text";
                return false;
            }
            if (len > 0) {
                std::vector<char> bytes(static_cast<size_t>(len));
                if (!file.ReadBytes(bytes.data(), bytes.size())) {
                    error = "ends inside an entry";
                    return false;
                }
                value.assign(bytes.data(), bytes.size());
                // A text ends at its first zero byte, as a terminated text would.
                value.resize(value.find('\0') == std::string::npos ? value.size()
                                                                   : value.find('\0'));
            }
            break;
        }
        case 11: {
            bool flag = false;
            if (!file.ReadBool(&flag)) {
                error = "ends inside an entry";
                return false;
            }
            value = flag ? "1" : "0";
            break;
        }
        default:
            error = "holds a value of unknown type " + std::to_string(type);
            return false;
        }
        values.emplace(tag, std::move(value));
    }
    return true;
}
