/*
 * Reads an assistant's positions, orders and account figures through
 * Pintle.dll's C interface and prints them.
 *
 *   assistant_state [ASSISTANT_SELECTOR [CODE [TRADE_KIND]]]
 *
 * defaults: selector 0 (assistant 0, whole account), code 600000, trade
 * kind 1. Pintle.dll must be beside the program (or on the PATH).
 *
 * Build it in the folder of the unpacked release archive (pintle.h and the
 * import libraries at its root, this file in examples/):
 *   mingw-w64:  x86_64-w64-mingw32-gcc -I . examples/assistant_state.c libPintle.dll.a -o assistant_state.exe
 *   MSVC:       cl /I . examples\assistant_state.c Pintle.lib
 * or in the source tree after ./pintle build:
 *   x86_64-w64-mingw32-gcc -I include examples/assistant_state.c build/libPintle.dll.a -o assistant_state.exe
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "pintle.h"

/* The plug-in's texts are UTF-16; the console gets UTF-8. */
static void print_text(const char* label, const wchar_t* text) {
    char utf8[4096];
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, (int)sizeof utf8, NULL, NULL) == 0) utf8[0] = '\0';
    printf("%s: %s\n", label, utf8);
}

int main(int argc, char** argv) {
    const int32_t selector = argc > 1 ? atoi(argv[1]) : 0;
    const char* code_arg = argc > 2 ? argv[2] : "600000";
    const int32_t kind = argc > 3 ? atoi(argv[3]) : 1;
    wchar_t code[32];
    char buffer[256];
    int i;

    if (MultiByteToWideChar(CP_ACP, 0, code_arg, -1, code, 32) == 0) code[0] = L'\0';

    /* The returned text is the plug-in's: print or copy it before the next
       call of the same function. */
    print_text("held", GetAllPositionCode(selector));

    /* One byte less than the buffer, so the text always ends in a zero. */
    GetAllPositionCodeA(buffer, (int32_t)sizeof buffer - 1, selector);
    buffer[sizeof buffer - 1] = '\0';
    printf("held (ANSI): %s\n", buffer);

    print_text("orders", GetAllOrderCode(selector, kind));

    for (i = 0; i < 10; ++i) printf("position %s value %d: %.9g\n", code_arg, i, GetPosInfo(code, i, selector));
    for (i = 0; i <= 8; ++i) printf("account figure %d: %.9g\n", i, GetAccountInfo(NULL, i, selector));
    return 0;
}
