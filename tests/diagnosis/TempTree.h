#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

// A folder under the system's temporary directory, removed with everything in
// it when the object goes: the fake /proc and /sys trees of the tests.
class TempTree final
{
public:
    TempTree()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vindrel-test.XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        m_root = pattern;
    }
    ~TempTree()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& Root() const { return m_root; }

    // Writes `text` to the file at `relative`, making its folders.
    void Write(const std::string& relative, const std::string& text) const
    {
        const std::filesystem::path path = std::filesystem::path(m_root) / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    // A symbolic link at `relative` pointing at `target` (which need not exist).
    void Link(const std::string& relative, const std::string& target) const
    {
        const std::filesystem::path path = std::filesystem::path(m_root) / relative;
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::create_symlink(target, path);
    }

    void MakeFolder(const std::string& relative) const
    {
        std::filesystem::create_directories(std::filesystem::path(m_root) / relative);
    }

private:
    std::string m_root;
};
