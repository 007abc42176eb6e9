#include "CommDateMgr.h"

CommDateMgr::CommDateMgr() = default;

CommDateMgr::~CommDateMgr() = default;
