#include "CommNoteMgr.h"

CommNoteMgr::CommNoteMgr() = default;

CommNoteMgr::~CommNoteMgr() = default;
