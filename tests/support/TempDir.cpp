#include "support/TempDir.h"

#include "core/base/FileUtil.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TempDir::TempDir()
{
    std::string tmpl = "/tmp/mt-test-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = tmpl + "/";
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests make folders read-only on purpose; give them back before removing.
    for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& content) const
{
    FILE* f = std::fopen(File(name).c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + File(name));
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
}

std::string TempDir::Read(const std::string& name) const
{
    std::string s;
    ReadWholeFile(File(name), s);
    return s;
}
