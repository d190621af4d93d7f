// Reads the setup INI file into the install profile, with the built-in
// defaults for every key and the two section-order rules.
#include "setup_config.h"

#include "../common/text_buffer.h"

InstallProfile g_profile;

namespace {

const char SECTION_INSTALL[] = "Install";
const char SECTION_DEFAULT[] = "Default";

void ReadInstall(const InstallProfile& p, const char* key, const char* def, char* out) {
    GetPrivateProfileStringA(SECTION_INSTALL, key, def, out, SETUP_TEXT_SIZE, p.IniPath);
}

// A key present but empty in the first section is read again from the
// second; a key absent from the first simply takes the default.
void ReadTwoSections(const InstallProfile& p, const char* first, const char* second, const char* key,
                     const char* def, char* out) {
    DWORD n = GetPrivateProfileStringA(first, key, def, out, SETUP_TEXT_SIZE, p.IniPath);
    if (n == 0)
        GetPrivateProfileStringA(second, key, def, out, SETUP_TEXT_SIZE, p.IniPath);
}

void ReadDefaultThenInstall(const InstallProfile& p, const char* key, const char* def, char* out) {
    ReadTwoSections(p, SECTION_DEFAULT, SECTION_INSTALL, key, def, out);
}

bool IsTrueText(const char* text) {
    return lstrcmpiA(text, "TRUE") == 0;
}

bool ReadFlag(const InstallProfile& p, const char* key, const char* def) {
    char text[SETUP_TEXT_SIZE];
    ReadDefaultThenInstall(p, key, def, text);
    return IsTrueText(text);
}

InterfaceType InterfaceFromText(const InstallProfile& p, const char* text) {
    switch (text[0]) {
        case 'P':
        case 'p':
            return InterfaceType::PS2;
        case 'S':
        case 's':
            return InterfaceType::Serial;
        case '\0':
            break;
        default:
            return InterfaceType::USB;
    }
    if (p.PS2DriverName[0] != '\0')
        return InterfaceType::PS2;
    if (p.SerialDriverName[0] != '\0')
        return InterfaceType::Serial;
    return InterfaceType::USB;
}

}  // namespace

OsFamily OsFamilyFromVersion(DWORD version) {
    if ((version & 0x80000000u) == 0)
        return OsFamily::WindowsNT;
    return (version & 0xFF) >= 4 ? OsFamily::Windows95 : OsFamily::Other;
}

OsFamily CurrentOsFamily() {
    return OsFamilyFromVersion(GetVersion());
}

void CutToFolder(char* path) {
    for (char* p = path + lstrlenA(path); p > path;) {
        --p;
        if (*p == '\\') {
            *p = '\0';
            return;
        }
    }
}

void ReadSetupConfigFor(InstallProfile* profile, const char* programPath, OsFamily family) {
    InstallProfile& p = *profile;
    ZeroMemory(&p, sizeof p);

    CopyText(p.SetupFolder, programPath);
    CutToFolder(p.SetupFolder);

    CopyText(p.IniPath, p.SetupFolder);
    AppendText(p.IniPath, "\\");
    if (family == OsFamily::Windows95)
        AppendText(p.IniPath, "SETUP95.INI");
    else if (family == OsFamily::WindowsNT)
        AppendText(p.IniPath, "INSTNT.INI");

    ReadInstall(p, "Title", "Rovanta", p.Title);
    ReadInstall(p, "Version", "1.0", p.Version);

    char value[SETUP_TEXT_SIZE];
    ReadInstall(p, "InfFile", "Vromouse.inf", value);
    CopyText(p.InfFile, p.SetupFolder);
    AppendText(p.InfFile, "\\");
    AppendText(p.InfFile, value);

    ReadInstall(p, "PS2DriverName", "PS/2 Quellon", p.PS2DriverName);
    ReadInstall(p, "SerialDriverName", "Serial Quellon", p.SerialDriverName);
    ReadInstall(p, "USBDriverName", "USB Quellon", p.USBDriverName);
    ReadInstall(p, "PS2PnPID", "*PNP0F13", p.PS2PnPID);
    ReadInstall(p, "SerialPnPID", "TVK0002", p.SerialPnPID);
    ReadInstall(p, "USBPnPID", "", p.USBPnPID);
    if (family == OsFamily::WindowsNT) {
        ReadInstall(p, "MfgName", "Torvik Electronics Ltd.", p.MfgName);
        ReadInstall(p, "Provider", "Torvik Electronics Ltd.", p.Provider);
    }

    p.CabFile = ReadFlag(p, "CabFile", "FALSE");
    if (p.CabFile)
        ReadDefaultThenInstall(p, "CabFileName", "Install.cab", p.CabFileName);
    p.AskType = ReadFlag(p, "AskType", "TRUE");
    p.Restart = ReadFlag(p, "Restart", "TRUE");
    p.AskPath = ReadFlag(p, "AskPath", "FALSE");
    p.AskMousePosition = ReadFlag(p, "AskMousePosition", "FALSE");
    p.USBType = ReadFlag(p, "USBType", "FALSE");

    p.Interface = InterfaceType::PS2;
    p.Location = MouseLocation::Right;
    if (!p.AskType) {
        ReadTwoSections(p, SECTION_INSTALL, SECTION_DEFAULT, "DefaultType", "", value);
        p.Interface = InterfaceFromText(p, value);
    }
}

void ReadSetupConfig() {
    char path[SETUP_TEXT_SIZE];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n >= sizeof path)
        n = sizeof path - 1;
    path[n] = '\0';
    ReadSetupConfigFor(&g_profile, path, CurrentOsFamily());
}
