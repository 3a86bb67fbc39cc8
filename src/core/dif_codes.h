// Device-installation codes and flags that MinGW-w64's setupapi.h lacks.
#pragma once

#include <windows.h>
#include <setupapi.h>

#ifndef DIF_FINISHINSTALL_ACTION
#define DIF_FINISHINSTALL_ACTION 0x0000002A
#endif
#ifndef DI_FLAGSEX_FINISHINSTALL_ACTION
#define DI_FLAGSEX_FINISHINSTALL_ACTION 0x00000008
#endif

// What the co-installer entry answers.
constexpr DWORD kPostProcessingRequired = 0xE0000226;  // ERROR_DI_POSTPROCESSING_REQUIRED
constexpr DWORD kNoContext = 0x80004005;               // E_FAIL
