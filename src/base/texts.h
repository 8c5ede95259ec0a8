// The program's fixed texts: its title and the messages that its window
// shows. Only #defines: the resource compiler reads this too, for the
// window's caption.
#pragma once

// The caption of the window, of the file dialogs and of every message box,
// and the first line of every report.
#define APP_TITLE "Lumivar V4.04 - PCI Spec V3.0"

#define MESSAGE_NOT_NT "Requires Windows NT/2000/XP Pro"
#define MESSAGE_NO_DEVICE "No Device Detected...\nMay be claimed by another application"
// Bus, device and function numbers.
#define MESSAGE_READ_FAILED                                                                        \
    "Unable to obtain PCI information for\nBus: %d,  Device: %d,  Function: %d"
// A path.
#define MESSAGE_CANNOT_OPEN "Unable to open '%s'"
#define MESSAGE_CANNOT_WRITE "Unable to write '%s'"
