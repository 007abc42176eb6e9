// The project's fatal assertion: reports the expression, the source file and the
// line on standard error and aborts. Active in every build.
#pragma once

[[noreturn]] void CxAssertFailed(const char* expression, const char* file, int line);

#define CX_ASSERT(expr) ((expr) ? static_cast<void>(0) : CxAssertFailed(#expr, __FILE__, __LINE__))
