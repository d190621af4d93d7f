// Reading the setup INI file through the real profile functions, in the
// Windows 95 and the NT family (the test is run once in each).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "setup_config.h"

namespace {

std::string WineVersionMode() {
    char mode[32] = "";
    GetEnvironmentVariableA("VRO_WINVER", mode, sizeof mode);
    return mode;
}

bool IsWindows95Run() {
    std::string mode = WineVersionMode();
    return mode == "win95" || mode == "win98";
}

// A fresh folder per case, so Wine's profile cache never serves an older file.
std::string NewCaseFolder() {
    static int counter = 0;
    char folder[MAX_PATH];
    wsprintfA(folder, "C:\\setupcfg%d", ++counter);
    CreateDirectoryA(folder, nullptr);
    return folder;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(f);
    ASSERT_EQ(written, bytes.size());
}

const char* IniName(OsFamily family) {
    return family == OsFamily::Windows95 ? "SETUP95.INI" : "INSTNT.INI";
}

// Reads a profile from a folder holding ini (nullptr: no file).
InstallProfile ReadWith(const char* ini, std::string* folderOut = nullptr) {
    std::string folder = NewCaseFolder();
    OsFamily family = CurrentOsFamily();
    if (ini)
        WriteFileBytes(folder + "\\" + IniName(family), ini);
    InstallProfile p;
    ReadSetupConfigFor(&p, (folder + "\\VROSetup.exe").c_str(), family);
    if (folderOut)
        *folderOut = folder;
    return p;
}

std::string Flag(bool b) {
    return b ? "TRUE" : "FALSE";
}

std::string Field(const InstallProfile& p, const std::string& name) {
    if (name == "Title") return p.Title;
    if (name == "Version") return p.Version;
    if (name == "InfFile") return p.InfFile;
    if (name == "PS2DriverName") return p.PS2DriverName;
    if (name == "SerialDriverName") return p.SerialDriverName;
    if (name == "USBDriverName") return p.USBDriverName;
    if (name == "PS2PnPID") return p.PS2PnPID;
    if (name == "SerialPnPID") return p.SerialPnPID;
    if (name == "USBPnPID") return p.USBPnPID;
    if (name == "MfgName") return p.MfgName;
    if (name == "Provider") return p.Provider;
    if (name == "CabFile") return Flag(p.CabFile);
    if (name == "CabFileName") return p.CabFileName;
    if (name == "AskType") return Flag(p.AskType);
    if (name == "Restart") return Flag(p.Restart);
    if (name == "AskPath") return Flag(p.AskPath);
    if (name == "AskMousePosition") return Flag(p.AskMousePosition);
    if (name == "USBType") return Flag(p.USBType);
    if (name == "InterfaceType") {
        switch (p.Interface) {
            case InterfaceType::PS2: return "PS2";
            case InterfaceType::Serial: return "Serial";
            case InterfaceType::USB: return "USB";
        }
    }
    ADD_FAILURE() << "unknown field " << name;
    return "";
}

TEST(SetupConfig, RunsInTheFamilyAskedFor) {
    OsFamily family = CurrentOsFamily();
    if (IsWindows95Run())
        EXPECT_EQ(family, OsFamily::Windows95) << "Wine did not report Windows 95: " << std::hex << GetVersion();
    else
        EXPECT_EQ(family, OsFamily::WindowsNT) << "Wine did not report NT: " << std::hex << GetVersion();
}

TEST(SetupConfig, FieldsFromIniText) {
    // reason, INI text (nullptr: no file), field, expected on Windows 95, expected on NT
    static const struct {
        const char* reason;
        const char* ini;
        const char* field;
        const char* on95;
        const char* onNT;
    } cases[] = {
        {"no file: default title", nullptr, "Title", "Rovanta", "Rovanta"},
        {"no file: default version", nullptr, "Version", "1.0", "1.0"},
        {"no file: no cabinet", nullptr, "CabFile", "FALSE", "FALSE"},
        {"no file: no cabinet name", nullptr, "CabFileName", "", ""},
        {"no file: interface page shown", nullptr, "AskType", "TRUE", "TRUE"},
        {"no file: restart offered", nullptr, "Restart", "TRUE", "TRUE"},
        {"no file: destination hidden", nullptr, "AskPath", "FALSE", "FALSE"},
        {"no file: location hidden", nullptr, "AskMousePosition", "FALSE", "FALSE"},
        {"no file: no USB choice", nullptr, "USBType", "FALSE", "FALSE"},
        {"no file: PS/2", nullptr, "InterfaceType", "PS2", "PS2"},
        {"no file: driver names", nullptr, "PS2DriverName", "PS/2 Quellon", "PS/2 Quellon"},
        {"no file: serial name", nullptr, "SerialDriverName", "Serial Quellon", "Serial Quellon"},
        {"no file: USB name", nullptr, "USBDriverName", "USB Quellon", "USB Quellon"},
        {"no file: PS/2 id", nullptr, "PS2PnPID", "*PNP0F13", "*PNP0F13"},
        {"no file: serial id", nullptr, "SerialPnPID", "TVK0002", "TVK0002"},
        {"no file: USB id empty", nullptr, "USBPnPID", "", ""},
        {"no file: maker on NT only", nullptr, "MfgName", "", "Torvik Electronics Ltd."},
        {"no file: provider on NT only", nullptr, "Provider", "", "Torvik Electronics Ltd."},
        {"maker from the file, NT only", "[Install]\nMfgName=Acme\nProvider=Acme Soft\n", "MfgName", "", "Acme"},
        {"provider from the file, NT only", "[Install]\nProvider=Acme Soft\n", "Provider", "", "Acme Soft"},
        {"title from Install", "[Install]\nTitle=Wheelie\n", "Title", "Wheelie", "Wheelie"},
        {"title not from Default", "[Default]\nTitle=Wheelie\n", "Title", "Rovanta", "Rovanta"},
        {"quotes and blanks stripped", "[Install]\nTitle =  \"Quoted Name\"  \n", "Title", "Quoted Name", "Quoted Name"},
        {"names match without case", "[install]\nTITLE=Upper\n", "Title", "Upper", "Upper"},
        {"AskPath in Install only stays clear", "[Install]\nAskPath=TRUE\n", "AskPath", "FALSE", "FALSE"},
        {"AskPath empty in Default, TRUE in Install", "[Default]\nAskPath=\n[Install]\nAskPath=TRUE\n", "AskPath",
         "TRUE", "TRUE"},
        {"AskPath in Default", "[Default]\nAskPath=true\n", "AskPath", "TRUE", "TRUE"},
        {"flag text 1 clears", "[Default]\nRestart=1\n", "Restart", "FALSE", "FALSE"},
        {"flag text yes clears", "[Default]\nAskType=yes\n", "AskType", "FALSE", "FALSE"},
        {"CabFile lower-case true", "[Default]\nCabFile=true\n", "CabFile", "TRUE", "TRUE"},
        {"CabFile 1 is not true", "[Default]\nCabFile=1\n", "CabFile", "FALSE", "FALSE"},
        {"cabinet name default", "[Default]\nCabFile=TRUE\n", "CabFileName", "Install.cab", "Install.cab"},
        {"cabinet name from Install via empty Default",
         "[Default]\nCabFile=TRUE\nCabFileName=\n[Install]\nCabFileName=Disk1.cab\n", "CabFileName", "Disk1.cab",
         "Disk1.cab"},
        {"cabinet name unread without cabinet", "[Default]\nCabFileName=Disk1.cab\n", "CabFileName", "", ""},
        {"DefaultType serial in Install", "[Default]\nAskType=FALSE\n[Install]\nDefaultType=serial\n",
         "InterfaceType", "Serial", "Serial"},
        {"DefaultType serial in Default", "[Default]\nAskType=FALSE\nDefaultType=serial\n", "InterfaceType",
         "Serial", "Serial"},
        {"DefaultType Install before Default", "[Default]\nAskType=FALSE\nDefaultType=ps2\n[Install]\nDefaultType=Serial\n",
         "InterfaceType", "Serial", "Serial"},
        {"DefaultType unread while AskType set", "[Install]\nDefaultType=serial\n", "InterfaceType", "PS2", "PS2"},
        {"DefaultType first letter p", "[Default]\nAskType=FALSE\nDefaultType=parallel\n", "InterfaceType", "PS2",
         "PS2"},
        {"DefaultType unknown text gives USB", "[Default]\nAskType=FALSE\nDefaultType=xyz\n", "InterfaceType", "USB",
         "USB"},
        {"no DefaultType, empty PS/2 name", "[Default]\nAskType=FALSE\n[Install]\nPS2DriverName=\nSerialDriverName=S\n",
         "InterfaceType", "Serial", "Serial"},
        {"no DefaultType, both names empty",
         "[Default]\nAskType=FALSE\n[Install]\nPS2DriverName=\nSerialDriverName=\n", "InterfaceType", "USB", "USB"},
        {"binary junk gives defaults", "\x01\x02\xff\xfe\x00garbage=\x80\x81\r\r\n==\n", "Title", "Rovanta",
         "Rovanta"},
        {"section without keys", "[Install]\n", "Version", "1.0", "1.0"},
    };
    bool is95 = CurrentOsFamily() == OsFamily::Windows95;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        InstallProfile p = ReadWith(c.ini);
        EXPECT_EQ(Field(p, c.field), is95 ? c.on95 : c.onNT) << c.field;
    }
}

TEST(SetupConfig, InfFileAndIniPathLieInTheSetupFolder) {
    std::string folder;
    InstallProfile p = ReadWith("[Install]\nInfFile=Other.inf\n", &folder);
    EXPECT_EQ(std::string(p.SetupFolder), folder);
    EXPECT_EQ(std::string(p.InfFile), folder + "\\Other.inf");
    EXPECT_EQ(std::string(p.IniPath), folder + "\\" + IniName(CurrentOsFamily()));

    InstallProfile d = ReadWith(nullptr, &folder);
    EXPECT_EQ(std::string(d.InfFile), folder + "\\Vromouse.inf");
}

TEST(SetupConfig, OverlongValuesAreTruncatedInTheirBuffers) {
    std::string longTitle(700, 'T');
    std::string longInf(700, 'i');
    std::string ini = "[Install]\nTitle=" + longTitle + "\nInfFile=" + longInf + "\nVersion=" + std::string(511, 'v') +
                      "\n[Default]\nCabFile=TRUE\nCabFileName=" + std::string(600, 'c') + "\n";
    std::string folder;
    InstallProfile p = ReadWith(ini.c_str(), &folder);
    EXPECT_EQ(std::string(p.Title), std::string(511, 'T'));
    EXPECT_EQ(std::string(p.Version), std::string(511, 'v'));
    EXPECT_EQ(std::string(p.CabFileName), std::string(511, 'c'));
    std::string inf = p.InfFile;
    EXPECT_EQ(inf.size(), 511u);
    EXPECT_EQ(inf.substr(0, folder.size() + 1), folder + "\\");
    EXPECT_EQ(inf.substr(folder.size() + 1), std::string(511 - folder.size() - 1, 'i'));
}

TEST(SetupConfig, OtherFamilyReadsNoFile) {
    std::string folder = NewCaseFolder();
    WriteFileBytes(folder + "\\SETUP95.INI", "[Install]\nTitle=Nope\n");
    WriteFileBytes(folder + "\\INSTNT.INI", "[Install]\nTitle=Nope\n");
    InstallProfile p;
    ReadSetupConfigFor(&p, (folder + "\\VROSetup.exe").c_str(), OsFamily::Other);
    EXPECT_EQ(std::string(p.IniPath), folder + "\\");
    EXPECT_EQ(std::string(p.Title), "Rovanta");
    EXPECT_EQ(std::string(p.MfgName), "");
}

TEST(SetupConfig, FamilyFromVersion) {
    // GetVersion result, family
    static const struct {
        DWORD version;
        OsFamily family;
    } cases[] = {
        {0xC0000004u, OsFamily::Windows95},  // Windows 95
        {0xC0000A04u, OsFamily::Windows95},  // Windows 98
        {0x05650004u, OsFamily::WindowsNT},  // NT 4.0
        {0x23F00206u, OsFamily::WindowsNT},  // a later NT
        {0x80000003u, OsFamily::Other},      // Win32s on 3.x
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        EXPECT_EQ(OsFamilyFromVersion(c.version), c.family);
    }
}

TEST(SetupConfig, SetupFolderCutsAtTheLastBackslash) {
    // program path, folder
    static const struct {
        const char* path;
        const char* folder;
    } cases[] = {
        {"C:\\Setup\\VROSetup.exe", "C:\\Setup"},
        {"C:\\VROSetup.exe", "C:"},
        {"\\\\server\\share\\disk1\\VROSetup.exe", "\\\\server\\share\\disk1"},
        {"VROSetup.exe", "VROSetup.exe"},  // no backslash: the whole path
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        char buffer[SETUP_TEXT_SIZE];
        lstrcpyA(buffer, c.path);
        CutToFolder(buffer);
        EXPECT_STREQ(buffer, c.folder);
    }
}

}  // namespace
