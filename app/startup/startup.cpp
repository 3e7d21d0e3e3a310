// The process entry of the Windows builds, in place of the C runtime's start-up code. The
// program uses none of what that code prepares (static constructors and destructors, atexit,
// stdio, floating point, thread-local storage, pseudo-relocations) but the argument count,
// which msvcrt's own __getmainargs fills in exactly as the runtime's start-up had it do.
#include <windows.h>

namespace {

// msvcrt's record for __getmainargs: the new-handler mode, 0 as the runtime's default.
struct MainArgsInfo {
    int newMode;
};

} // namespace

extern "C" int __cdecl __getmainargs(int* argc, char*** argv, char*** env, int expandWildcards,
                                     MainArgsInfo* info);

#if defined(__i386__)
// The loader enters with a 4-byte aligned stack; the compiled code expects 16.
#define ENTRY_ALIGN __attribute__((force_align_arg_pointer))
#else
#define ENTRY_ALIGN
#endif

extern "C" ENTRY_ALIGN __attribute__((used, externally_visible)) void WinMainCRTStartup(void) {
    int argc = 0;
    char** argv = NULL;
    char** env = NULL;
    MainArgsInfo info = {0};
    // No wildcard expansion: the runtime's default without CRT_glob.
    __getmainargs(&argc, &argv, &env, 0, &info);
    // WinMain reads neither the command line nor the show command.
    char none[] = "";
    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(NULL), NULL, none, SW_SHOWDEFAULT)));
}
