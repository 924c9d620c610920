// qzgsms.exe: the gateway with its operator window on Windows. It runs in its current
// folder (the instance folder, or the one --instance names), like qzgsmsd.exe; the
// window's first timer tick starts the gateway, and closing the window stops it in an
// orderly way and ends the program.
#pragma once

namespace qz::ui::win32 {

int RunWindowProgram(int argc, char** argv);

}  // namespace qz::ui::win32
