#include "CommTaskMgr.h"

CommTaskMgr::CommTaskMgr() = default;

CommTaskMgr::~CommTaskMgr() = default;
