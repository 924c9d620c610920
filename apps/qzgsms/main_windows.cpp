// qzgsms.exe: the gateway with its operator window on Windows (src/ui/win32).
#include "ui/win32/window_program.h"

int main(int argc, char** argv) { return qz::ui::win32::RunWindowProgram(argc, argv); }
