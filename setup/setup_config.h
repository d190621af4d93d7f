// The setup's configuration: the platform family and the install profile
// read from the setup INI file beside the program.
#pragma once

#include <windows.h>

constexpr size_t SETUP_TEXT_SIZE = 512;

enum class OsFamily { Windows95, WindowsNT, Other };

enum class InterfaceType { PS2 = 1, Serial = 2, USB = 3 };

enum class MouseLocation { Right = 0, Left = 1 };

struct InstallProfile {
    char SetupFolder[SETUP_TEXT_SIZE];
    char IniPath[SETUP_TEXT_SIZE];
    char Title[SETUP_TEXT_SIZE];
    char Version[SETUP_TEXT_SIZE];
    char InfFile[SETUP_TEXT_SIZE];
    char PS2DriverName[SETUP_TEXT_SIZE];
    char SerialDriverName[SETUP_TEXT_SIZE];
    char USBDriverName[SETUP_TEXT_SIZE];
    char PS2PnPID[SETUP_TEXT_SIZE];
    char SerialPnPID[SETUP_TEXT_SIZE];
    char USBPnPID[SETUP_TEXT_SIZE];
    char MfgName[SETUP_TEXT_SIZE];
    char Provider[SETUP_TEXT_SIZE];
    bool CabFile;
    char CabFileName[SETUP_TEXT_SIZE];
    bool AskType;
    bool Restart;
    bool AskPath;
    bool AskMousePosition;
    bool USBType;
    InterfaceType Interface;
    MouseLocation Location;
    char InstallDrive[SETUP_TEXT_SIZE];
    char DefaultInstallFolder[SETUP_TEXT_SIZE];
    char InstallFolder[SETUP_TEXT_SIZE];
};

// The one profile of the process, filled by ReadSetupConfig at start.
extern InstallProfile g_profile;

// The family from a GetVersion result, and from the running system.
OsFamily OsFamilyFromVersion(DWORD version);
OsFamily CurrentOsFamily();

// Cuts a full program path at its last backslash, in place. A path without
// a backslash stays whole.
void CutToFolder(char* path);

// Fills profile from the INI file beside programPath, by the platform family.
void ReadSetupConfigFor(InstallProfile* profile, const char* programPath, OsFamily family);

// Fills g_profile for the running program. Cannot fail.
void ReadSetupConfig();
