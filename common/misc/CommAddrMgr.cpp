#include "CommAddrMgr.h"

CommAddrMgr::CommAddrMgr() = default;

CommAddrMgr::~CommAddrMgr() = default;
