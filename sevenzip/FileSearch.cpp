#include "sevenzip/FileSearch.h"

#include <dirent.h>
#include <fnmatch.h>
#include <memory>
#include <sys/stat.h>

namespace ordalis::sevenzip {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

struct Entry {
    std::string name;
    bool isSymlink;
};

// The folder's entries in the order the file system returns them, "." and ".." left out.
std::vector<Entry> ListFolder(const std::string& folder)
{
    std::vector<Entry> entries;
    DirPtr dir(::opendir(folder.c_str()));
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isSymlink = entry->d_type == DT_LNK;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isSymlink = ::lstat((folder + name).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        }
        entries.push_back({name, isSymlink});
    }
    return entries;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

class Search {
public:
    Search(const std::string& base, const std::vector<std::string>& masks, bool recurse)
        : m_cut(base.size()), m_masks(masks), m_recurse(recurse)
    {
    }

    void visit(const std::string& folder)
    {
        const std::vector<Entry> entries = ListFolder(folder);
        if (m_recurse)
            visitSubfolders(folder, entries);
        for (const std::string& mask : m_masks)
            addMatches(folder, entries, mask);
    }

    std::vector<FoundFile> takeFound() { return std::move(m_found); }

private:
    void visitSubfolders(const std::string& folder, const std::vector<Entry>& entries)
    {
        for (const Entry& entry : entries) {
            if (entry.name[0] == '.' || entry.isSymlink)
                continue;
            const std::string path = folder + entry.name;
            const auto info = ReadFileInfo(path);
            if (info && info->isDirectory)
                visit(path + "/");
        }
    }

    void addMatches(const std::string& folder, const std::vector<Entry>& entries, const std::string& mask)
    {
        for (const Entry& entry : entries) {
            if (::fnmatch(mask.c_str(), entry.name.c_str(), 0) != 0)
                continue;
            const std::string path = folder + entry.name;
            const auto info = ReadFileInfo(path);
            if (info && info->isRegular)
                m_found.push_back({path, path.substr(m_cut), *info});
        }
    }

    std::size_t m_cut;
    const std::vector<std::string>& m_masks;
    bool m_recurse;
    std::vector<FoundFile> m_found;
};

} // namespace

std::vector<std::string> SplitMasks(std::string_view masks)
{
    std::vector<std::string> result;
    std::string current;
    bool quoted = false;
    const auto finish = [&] {
        if (!current.empty())
            result.push_back(std::move(current));
        current.clear();
    };
    for (const char c : masks) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == ';' || IsBlankOrControl(c)))
            finish();
        else
            current += c;
    }
    finish();
    return result;
}

std::vector<FoundFile> FindFiles(const std::string& base, const std::vector<std::string>& masks, bool recurse)
{
    Search search(base, masks, recurse);
    search.visit(base);
    return search.takeFound();
}

} // namespace ordalis::sevenzip
