// Resource and control ids of VROSetup, grouped by dialog.
#pragma once

// Pictures
#define IDI_SETUP 115           // a computer with a setup box
#define IDB_WIZARD 10551        // a computer with disks, left of every page
#define IDB_KEYBOARD 146        // a keyboard, on the location page
#define IDI_MOUSE_RIGHT 141     // a mouse, right of the keyboard
#define IDI_MOUSE_LEFT 143      // the same mouse, mirrored

// Picture frame shared by every page template
#define IDC_PAGE_PICTURE 1001

// Welcome page
#define IDD_WELCOME 12006
#define IDC_WELCOME_ICON 1002
#define IDC_WELCOME_TEXT 710
#define IDC_WELCOME_ADVICE 720

// Hardware Interface Selection page
#define IDD_INTERFACE 10203
#define IDC_INTERFACE_PROMPT 202
#define IDC_INTERFACE_PS2 301
#define IDC_INTERFACE_SERIAL 302
#define IDC_INTERFACE_USB 303

// Choose Mouse Location page
#define IDD_LOCATION 123
#define IDC_LOCATION_RIGHT 325
#define IDC_LOCATION_LEFT 326
#define IDC_LOCATION_KEYBOARD 379
#define IDC_LOCATION_MOUSE_RIGHT 376
#define IDC_LOCATION_MOUSE_LEFT 377

// Choose Destination Location page
#define IDD_DESTINATION 10201
#define IDC_DESTINATION_TEXT 202
#define IDC_DESTINATION_CANCEL_TEXT 203
#define IDC_DESTINATION_FOLDER 201
#define IDC_DESTINATION_BROWSE 31

// Start Installation page
#define IDD_START 12030
#define IDC_START_TEXT 711
#define IDC_START_HEADING 701
#define IDC_START_SUMMARY 301

// Setup Complete page
#define IDD_COMPLETE 12032
#define IDC_COMPLETE_TEXT 711
#define IDC_COMPLETE_RESTART_NOW 502
#define IDC_COMPLETE_RESTART_LATER 503
#define IDC_COMPLETE_DISKS 712
#define IDC_COMPLETE_NO_RESTART_TEXT 713

// Exit Setup confirmation
#define IDD_EXIT_SETUP 10300
#define IDC_EXIT_INCOMPLETE 1032
#define IDC_EXIT_CONTINUE 1033
#define IDC_EXIT_RESUME 1
#define IDC_EXIT_QUIT 2
