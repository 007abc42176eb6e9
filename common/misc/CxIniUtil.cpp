#include "CxIniUtil.h"
CxIniUtil::~CxIniUtil() {}
