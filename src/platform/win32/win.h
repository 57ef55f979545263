// The one way Windows headers enter the program. Some Windows macros carry the names of the
// system's own operations (FillMemory is the driver's fill request here); they are undone.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commdlg.h>
#include <setupapi.h>
#include <shellapi.h>

#undef FillMemory
#undef CopyMemory
#undef ZeroMemory
#undef MoveMemory
#undef MessageBox
#undef LoadBitmap
#undef CreateFile
#undef GetCurrentDirectory
#undef ExitWindows
