// The program's icon, drawn from the scalable picture compiled into the
// program: the same file the desktop's menu shows.
#pragma once

#include <QIcon>

// TESSMARK_APP_ID, the application id, comes from the build: the name of the
// desktop entry, the icon and the metainfo.
#ifndef TESSMARK_APP_ID
#error "TESSMARK_APP_ID is defined by the build"
#endif

// The resource path of the scalable icon.
inline constexpr const char kAppIconResource[] = ":/icons/" TESSMARK_APP_ID ".svg";

// The icon at the sizes title bars, task bars and switchers ask for; a null
// icon when the picture is missing or unreadable.
QIcon TessmarkIcon();
