// What the tests share, by concern.
#pragma once

#include "Faults.h"
#include "Processes.h"
#include "Registry.h"
#include "Windows.h"
