#pragma once

// Each program's version: its resources' version block and the log of a run read it here.
#define MULTISETUP_VERSION 2,0,4,2
#define MULTISETUP_VERSION_TEXT "2, 0, 4, 2"
#define SOLOSETUP_VERSION 1,0,0,4
#define SOLOSETUP_VERSION_TEXT "1, 0, 0, 4"
