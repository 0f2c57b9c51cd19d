#include "outputpaths.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "messagetext.h"

namespace {

namespace fs = std::filesystem;

struct FileIdentity {
    enum class Kind { File, NameInDirectory, Path } kind = Kind::Path;
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;  // the last name (NameInDirectory) or the resolved path (Path)

    bool operator==(const FileIdentity& o) const {
        if (kind != o.kind) return false;
        if (kind == Kind::Path) return name == o.name;
        return device == o.device && inode == o.inode && (kind == Kind::File || name == o.name);
    }
};

FileIdentity identityOf(const std::string& path) {
    FileIdentity id;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        id.kind = FileIdentity::Kind::File;
        id.device = info.st_dev;
        id.inode = info.st_ino;
        return id;
    }
    // Trailing slashes name the same entry as the name without them.
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const fs::path p(trimmed);
    const fs::path directory = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::string name = p.filename().string();
    if (name != "." && name != ".." && ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        id.kind = FileIdentity::Kind::NameInDirectory;
        id.device = info.st_dev;
        id.inode = info.st_ino;
        id.name = name;
        return id;
    }
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(p, ec), ec);
    id.name = ec ? p.lexically_normal().string() : resolved.string();
    return id;
}

const char* kindName(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string named(const NamedPath& p) { return printableText(p.path) + " (" + printableText(p.role) + ")"; }

}  // namespace

std::string outputKindProblem(const NamedPath& output) {
    struct stat info {};
    if (::stat(output.path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return {};
    struct stat link {};
    const bool symbolic = ::lstat(output.path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
    return named(output) + " is " + (symbolic ? "a symbolic link to " : "") + kindName(info.st_mode) +
           ", not a regular file";
}

std::string pathClash(const std::vector<NamedPath>& inputs, const std::vector<NamedPath>& outputs) {
    std::vector<FileIdentity> inputIds;
    for (const NamedPath& in : inputs) inputIds.push_back(identityOf(in.path));
    std::vector<FileIdentity> outputIds;
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        const FileIdentity id = identityOf(outputs[k].path);
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            if (id == inputIds[i]) return named(outputs[k]) + " and " + named(inputs[i]) + " are the same file";
        }
        for (std::size_t j = 0; j < k; ++j) {
            if (id == outputIds[j]) return named(outputs[k]) + " and " + named(outputs[j]) + " are the same file";
        }
        outputIds.push_back(id);
    }
    return {};
}

std::string checkOutputPaths(const std::vector<NamedPath>& inputs, const std::vector<NamedPath>& outputs) {
    for (const NamedPath& out : outputs) {
        if (std::string problem = outputKindProblem(out); !problem.empty()) return problem;
    }
    return pathClash(inputs, outputs);
}
