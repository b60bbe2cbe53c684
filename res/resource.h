// Resource ids of the string table.
#pragma once

#define IDI_KESTRUNE 1

#define IDS_WAITER_EXE      200
#define IDS_RUNONCE_VALUE   201
#define IDS_OPT_RELAUNCH    504
#define IDS_OPT_CAPTION     505
#define IDS_OPT_NEXT        506
#define IDS_APPEAR_TIMEOUT  507
#define IDS_VANISH_SECONDS  508
#define IDS_OPT_REBOOT_FLAG 509
#define IDS_OPT_KNOWN       510
#define IDS_OPT_RUN_ALWAYS  511
#define IDS_OPT_TIMEOUT     512
#define IDS_OPT_EXIT_CODE   513
#define IDS_OPT_LOG         514
