// The Windows entry: the channel reads through the configuration-access
// driver; the command line is ignored.
#include "access/driver_source.h"
#include "ui/main_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    static DriverSource driver(win32DriverTransport());
    appChannel.source = &driver;
    return runApplication(instance, showCommand);
}
