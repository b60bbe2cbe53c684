// What the tests share, by concern; with GoogleTest and <windows.h>, the
// one header a test file needs besides the code it tests.
#pragma once

#include "Faults.h"
#include "Processes.h"
#include "Registry.h"
#include "Windows.h"
