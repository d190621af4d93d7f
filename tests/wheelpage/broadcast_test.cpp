// A save seen from another program: the listener test double's top-level
// window receives one WM_WININICHANGE naming "Vireo" per save.
#include "store_fixture.h"

#include <vector>

namespace {

constexpr const char* LISTENER_EXE = "wininichange_listener.exe";
constexpr const char* LISTENER_CLASS = "VroWinIniChangeListener";

std::string ListenerPath() {
    char unixFolder[MAX_PATH] = "";
    GetEnvironmentVariableA("VRO_BIN_DIR", unixFolder, sizeof unixFolder);
    std::string path = std::string("Z:") + unixFolder + "/" + LISTENER_EXE;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

// The listener as a child process whose output comes through a pipe.
class Listener {
public:
    bool Start(const char* mode) {
        static int counter = 0;
        char eventName[64];
        wsprintfA(eventName, "VroListenerReady%lu_%d", GetCurrentProcessId(), ++counter);
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName);
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE writeEnd = nullptr;
        if (!ready || !CreatePipe(&output_, &writeEnd, &inherit, 0))
            return false;
        SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::string commandLine = "\"" + ListenerPath() + "\" " + eventName + " " + mode;
        PROCESS_INFORMATION process = {};
        BOOL started =
            CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
        CloseHandle(writeEnd);
        if (!started) {
            CloseHandle(ready);
            ADD_FAILURE() << "cannot start " << commandLine << ", error " << GetLastError();
            return false;
        }
        CloseHandle(process.hThread);
        process_ = process.hProcess;
        HANDLE waits[] = {ready, process_};
        DWORD woke = WaitForMultipleObjects(2, waits, FALSE, 20000);
        CloseHandle(ready);
        if (woke != WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process_, &code);
            ADD_FAILURE() << "the listener is not ready: wait result " << woke << ", exit code " << code;
        }
        return woke == WAIT_OBJECT_0;
    }

    bool IsRunning() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

    // Closes the listener's window and returns every line it printed.
    std::vector<std::string> Finish() {
        HWND window = FindWindowA(LISTENER_CLASS, nullptr);
        if (window)
            PostMessageA(window, WM_CLOSE, 0, 0);
        std::string text;
        char chunk[512];
        DWORD got = 0;
        while (ReadFile(output_, chunk, sizeof chunk, &got, nullptr) && got > 0)
            text.append(chunk, got);
        WaitForSingleObject(process_, 20000);
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    void Kill() {
        if (process_ && IsRunning())
            TerminateProcess(process_, 1);
    }

    ~Listener() {
        Kill();
        if (process_)
            CloseHandle(process_);
        if (output_)
            CloseHandle(output_);
    }

private:
    HANDLE process_ = nullptr;
    HANDLE output_ = nullptr;
};

using BroadcastTest = StoreTest;

TEST_F(BroadcastTest, EverySaveIsAnnouncedOnceToOtherPrograms) {
    Listener listener;
    ASSERT_TRUE(listener.Start("")) << "the listener did not get ready";
    SaveWheelSettings();
    // The second save's registry writes fail; it is announced all the same.
    ResetStores();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\TVK", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    SaveWheelSettings();
    std::vector<std::string> lines = listener.Finish();

    static const char* const expected[] = {
        "WM_WININICHANGE wParam=0 text=Vireo",
        "WM_WININICHANGE wParam=0 text=Vireo",
    };
    ASSERT_EQ(lines.size(), sizeof expected / sizeof expected[0]) << "one message per save expected";
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "message " << i;
}

TEST_F(BroadcastTest, HungProgramDoesNotHoldTheSave) {
    Listener listener;
    ASSERT_TRUE(listener.Start("--hang")) << "the listener did not get ready";
    SaveWheelSettings();
    EXPECT_TRUE(listener.IsRunning()) << "the save returned only after the hung program had ended";
    EXPECT_EQ(GetUserValue(VALUE_SCROLL_SPEED).Type, DWORD(REG_DWORD));
    listener.Kill();
}

}  // namespace
