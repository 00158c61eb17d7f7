#include "tests/e2e/support/temp_dir.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace e2e {

TempDir::TempDir(const std::string& prefix)
{
    std::string templ = "/tmp/" + prefix + "XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back(0);
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed for " + templ);
    path_ = buf.data();
    chmod(path_.c_str(), 0755);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const
{
    return path_ + "/" + name;
}

std::string TempDir::write(const std::string& name, const std::string& content, unsigned mode) const
{
    std::string p = file(name);
    {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out << content;
    }
    chmod(p.c_str(), mode);
    return p;
}

void TempDir::append(const std::string& name, const std::string& content) const
{
    std::ofstream out(file(name), std::ios::binary | std::ios::app);
    out << content;
}

std::string TempDir::subdir(const std::string& name, unsigned mode) const
{
    std::string p = file(name);
    std::filesystem::create_directories(p);
    chmod(p.c_str(), mode); // explicit: the umask must not narrow it
    return p;
}

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace e2e
