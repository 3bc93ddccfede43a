// Waits the seconds it is given, as sleep(1) does on Linux: the Windows tests' process that
// runs until something ends it (copied as pbucon.exe, it stands for a relay).
#include <cstdlib>
#include <windows.h>

int main(int argc, char** argv)
{
    Sleep(argc > 1 ? DWORD(std::atoi(argv[1])) * 1000 : INFINITE);
    return 0;
}
