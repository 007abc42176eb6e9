#include "Apputil.h"

TAppSettings AppSettings;
constinit CxIniUtil SettingsFile(nullptr, "velmora.ini");
