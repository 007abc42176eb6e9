// The two platform calls several parts share: the program's folder and opening
// a file, folder, "mailto:" or web address in the user's desktop.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// The folder of the program file (/proc/self/exe) with a trailing '/'. module
// is accepted for the callers' sake; every module is the program here. False
// only when buf is null (or too small to hold the folder).
bool GetModuleFolder(const void* module, char* buf, size_t size = 260);

// Opens target with xdg-open, detached; true whenever the target is not null or
// empty. While a hook is set, the hook receives the target instead.
// onFailure, when given, is called once should xdg-open be missing (on the
// calling thread, before ShellOpen returns) or end with a non-zero status (on
// a thread of its own, whenever xdg-open ends).
bool ShellOpen(const char* target, std::function<void()> onFailure = {});
void SetShellOpenHook(std::function<void(const std::string&)> hook);
