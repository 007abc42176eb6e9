// Reads the parameter file the program gets its request from: a uint32 entry
// count, then per entry an int32 tag, an int32 type code and the value (type 3
// int32, 5 int32, 8 int32 byte length + UTF-8 bytes, 11 a 4-byte flag slot).
// Every value is kept as text: numbers in decimal, flags as "1" or "0".
#pragma once

#include <cstdint>
#include <map>
#include <string>

using ParamMap = std::map<int32_t, std::string>;

// Fills values with every entry that could be read (the first entry of a tag
// wins). False, with the reason in error, when the file cannot be opened or
// ends inside an entry, or an entry is of an unknown type or implausibly long;
// values then hold the entries before the fault.
bool ReadParamFile(const char* path, ParamMap& values, std::string& error);
