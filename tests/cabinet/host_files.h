// Host-side helpers for the cabinet tests: temporary folders, file trees and running tools.
#pragma once

#include <map>
#include <string>

// A fresh folder below $TMPDIR (or /tmp), removed with its contents on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

bool WriteHostFile(const std::string& path, const std::string& bytes);
bool ReadHostFile(const std::string& path, std::string* bytes);

// Every regular file below folder by its relative path ("sub/name"), with its bytes.
std::map<std::string, std::string> ReadTree(const std::string& folder);

struct ToolRun {
    int status = -1;  // exit status, -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

// Runs a shell command line, capturing standard output and error.
ToolRun RunTool(const std::string& command);

// True when a program of that name is on the PATH.
bool HaveProgram(const std::string& name);

// Single-quoted for the shell.
std::string Quote(const std::string& text);
