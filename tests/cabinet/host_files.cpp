// Host-side helpers for the cabinet tests: temporary folders, file trees and running tools.
#include "host_files.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TempFolder::TempFolder() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/cabtest-XXXXXX";
    char* made = mkdtemp(&pattern[0]);
    path_ = made ? made : "";
}

TempFolder::~TempFolder() {
    if (!path_.empty())
        RunTool("rm -rf " + Quote(path_));
}

bool WriteHostFile(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool ReadHostFile(const std::string& path, std::string* bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bytes->clear();
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0)
        bytes->append(buffer, n);
    fclose(f);
    return true;
}

namespace {

void Walk(const std::string& root, const std::string& relative, std::map<std::string, std::string>* out) {
    std::string folder = relative.empty() ? root : root + "/" + relative;
    DIR* d = opendir(folder.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string rel = relative.empty() ? name : relative + "/" + name;
        struct stat st;
        if (lstat((root + "/" + rel).c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            Walk(root, rel, out);
        } else {
            std::string bytes;
            ReadHostFile(root + "/" + rel, &bytes);
            (*out)[rel] = bytes;
        }
    }
    closedir(d);
}

}  // namespace

std::map<std::string, std::string> ReadTree(const std::string& folder) {
    std::map<std::string, std::string> out;
    Walk(folder, "", &out);
    return out;
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

ToolRun RunTool(const std::string& command) {
    ToolRun run;
    char out_name[] = "/tmp/cabtest-out-XXXXXX";
    char err_name[] = "/tmp/cabtest-err-XXXXXX";
    int out_fd = mkstemp(out_name);
    int err_fd = mkstemp(err_name);
    if (out_fd < 0 || err_fd < 0)
        return run;
    close(out_fd);
    close(err_fd);
    int status = system((command + " >" + out_name + " 2>" + err_name).c_str());
    if (status != -1 && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    ReadHostFile(out_name, &run.out);
    ReadHostFile(err_name, &run.err);
    unlink(out_name);
    unlink(err_name);
    return run;
}

bool HaveProgram(const std::string& name) {
    return RunTool("command -v " + Quote(name)).status == 0;
}
