// The application framework: the least of it that this utility needs, as a
// thin layer over Win32.
#pragma once

#include "afxapp.h"
#include "afxcoll.h"
#include "afxmem.h"
#include "afxobj.h"
#include "afxstr.h"
#include "afxthread.h"
