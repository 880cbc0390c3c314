// The program's entry point, in a file of its own so that only programs pull it from the
// library (tests have their own main).
#include "framework/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t* commandLine, int showCommand) {
    return kx::AfxWinMain(instance, commandLine, showCommand);
}
