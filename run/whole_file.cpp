#include "whole_file.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace karrow {

namespace {

    int WriteAll(int fd, const std::string& content)
    {
        std::size_t done = 0;
        while (done < content.size()) {
            const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return errno;
            done += static_cast<std::size_t>(put);
        }
        return 0;
    }

    // The temporary file beside `target`, created new (O_EXCL: an existing file of that name,
    // or a symbolic link planted there, is never opened). Its name starts with "." so that the
    // file lists do not show it while it exists.
    int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& temporary)
    {
        std::random_device entropy;
        const std::string base = target.filename().string().substr(0, 100);
        int error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            temporary = target.parent_path()
                / ("." + base + "." + std::to_string(entropy() % 1000000000U) + ".tmp");
            const int fd = ::open(
                temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (fd >= 0)
                return fd;
            error = errno;
        }
        return -error;
    }

    // Writes `content` into the new temporary file and makes it durable: 0 or an errno.
    int FillTemporary(int fd, const std::string& content)
    {
        int error = WriteAll(fd, content);
        if (error == 0 && ::fsync(fd) != 0)
            error = errno;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        return error;
    }

    // The rename is durable only once the folder's entry is; failing that is no reason to call
    // the write failed, as the file is complete either way.
    void SyncFolder(const std::filesystem::path& folder)
    {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return;
        (void)::fsync(fd);
        ::close(fd);
    }

} // namespace

int ReplaceFileWhole(const std::string& path, const std::string& content)
{
    const std::filesystem::path target(path);
    std::filesystem::path temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0)
        return -fd;
    int error = FillTemporary(fd, content);
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    SyncFolder(target.parent_path().empty() ? "." : target.parent_path());
    return 0;
}

} // namespace karrow
