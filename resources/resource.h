// Resource ids shared by the resource script and the program.
#pragma once

#define IDI_APP 61439
#define IDB_BACKGROUND 61184
#define IDR_ACCEL 3333
#define IDM_CTRL_S 997
