// A private scratch directory for one end-to-end test, removed with everything in
// it when the test ends.
#pragma once

#include <string>

namespace e2e {

class TempDir {
public:
    // Creates /tmp/<prefix>XXXXXX. It is made readable for other users, since the
    // IRC server drops to user "nobody" and must read its configuration there.
    explicit TempDir(const std::string& prefix = "tidewatch-e2e-");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path()/name
    std::string file(const std::string& name) const;
    // Writes (replacing) a file in the directory; returns its path.
    std::string write(const std::string& name, const std::string& content, unsigned mode = 0644) const;
    // Appends to a file in the directory.
    void append(const std::string& name, const std::string& content) const;
    // Creates a sub-directory with the given mode; returns its path.
    std::string subdir(const std::string& name, unsigned mode = 0755) const;

private:
    std::string path_;
};

// Whole content of a file, or "" when it cannot be read.
std::string read_text(const std::string& path);

} // namespace e2e
