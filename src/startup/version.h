// The library's version: the text reported in the attach and detach log
// lines and the numbers of the version resource come from here.
#pragma once

#define PINTLE_VERSION_MAJOR 3
#define PINTLE_VERSION_MINOR 3
#define PINTLE_VERSION_PATCH 7
#define PINTLE_VERSION_BUILD 5
#define PINTLE_VERSION_TEXT "3.3.7.5"
#define PINTLE_VERSION_WIDE L"3.3.7.5"
